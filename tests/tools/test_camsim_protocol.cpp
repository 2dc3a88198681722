// The simulated camera's protocol logic, bytes in and bytes out, and its options.
#include <gtest/gtest.h>

#include "camsim_memory.h"
#include "camsim_options.h"
#include "camsim_protocol.h"

using camsim::CameraMemory;
using camsim::CameraProtocol;

namespace {

// The log lines of the exchanges that the bytes of `hex` complete.
std::vector<std::string> Feed(CameraProtocol& camera, const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    std::vector<std::string> lines;
    for (const camsim::Exchange& e : camera.Receive(bytes.data(), bytes.size())) {
        lines.push_back(camsim::LogLine(e));
    }
    return lines;
}

const std::string kPing = "05807F";
const std::string kAck = "103B04";
const std::string kSetup = "01801320030001FF01011F0201190301FF8001078101FFCF";
// Page 3, line A, byte 5: address bytes 30 A5 02, check byte A4.
const std::string kReadA5 = "01800E10204D4030A502FFFFFFFFFFFFFFFFA4";

}  // namespace

TEST(CamsimProtocol, AnswersEachCommand) {
    CameraMemory memory;
    CameraProtocol camera(memory);
    // Default memory at 30 A5 02: 0x30 + 0xA5 + 0x02 = 0xD7. Reply check byte worked out by
    // hand: xor of 0D 10 20 4D 40 30 A5 D7 and seven FF is 8D.
    EXPECT_EQ(Feed(camera, kPing + kAck + kSetup + kReadA5),
              (std::vector<std::string>{
                  "05807F 06807F",
                  "103B04 06",
                  kSetup + " 06" + kSetup + "06",
                  kReadA5 + " 06800D10204D4030A5D7FFFFFFFFFFFFFF8D",
              }));
    EXPECT_EQ(camera.CommandCount(), 4);
}

// The listings depend on it: a command with any byte wrong gets no answer, as from a camera.
TEST(CamsimProtocol, StaysSilentOnBrokenCommandsAndResyncs) {
    CameraMemory memory;
    CameraProtocol camera(memory);
    std::string setup = kSetup;
    setup[20] = '0';
    // A wrong check byte, a wrong fixed FF, a set-up command with one byte changed.
    for (const std::string& broken :
         {std::string("01800E10204D4030A502FFFFFFFFFFFFFFFFA5"),
          std::string("01800E10204D4030A502FFFFFFFFFFFFFF7FA4"), setup}) {
        for (const std::string& line : Feed(camera, broken)) {
            EXPECT_EQ(line.back(), '-') << line;
        }
    }
    EXPECT_EQ(camera.CommandCount(), 0);
    // Garbage, and a ping cut short, are dropped; the next whole command is answered.
    EXPECT_EQ(Feed(camera, "AA0041" + kPing + "0580" + kAck),
              (std::vector<std::string>{"AA0041 -", "05807F 06807F", "0580 -", "103B04 06"}));
}

// The options themselves are exercised by the tests that run the simulator.
TEST(CamsimOptions, BadOnesAreRefusedWithAReason) {
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--baud", "0"},
                                                {"--pause", "-1"},
                                                {"--extra", "2x"},
                                                {"--silent-after"},
                                                {"--garbage=1"},
                                                {"--frobnicate"},
                                                {"--log", ""},
                                                {"--hangup-after", "99999999999"}}) {
        camsim::Options options;
        std::string error;
        EXPECT_FALSE(camsim::ParseOptions(bad, options, error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
    camsim::Options options;
    std::string error;
    ASSERT_TRUE(camsim::ParseOptions({"--silent-after=3", "--image=m.bin"}, options, error));
    EXPECT_EQ(options.faults.silentAfter, 3);
    EXPECT_EQ(options.image, "m.bin");
}
