// The simulated camera's protocol logic, bytes in and bytes out, and its memory and options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

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

TEST(CamsimProtocol, FindsCommandsInAByteStreamAndIgnoresBrokenOnes) {
    CameraMemory memory;
    CameraProtocol camera(memory);
    // Byte by byte: nothing until the last byte of a command.
    for (std::size_t i = 0; i + 2 < kReadA5.size(); i += 2) {
        EXPECT_TRUE(Feed(camera, kReadA5.substr(i, 2)).empty()) << "after byte " << i / 2;
    }
    EXPECT_EQ(Feed(camera, "A4").size(), 1u);
    // Garbage before a command is dropped as one run; a ping cut short by another command is
    // dropped and the search resyncs.
    EXPECT_EQ(Feed(camera, "AA0041" + kPing + "0580" + kAck),
              (std::vector<std::string>{"AA0041 -", "05807F 06807F", "0580 -", "103B04 06"}));

    // A wrong check byte, a wrong fixed FF, a set-up command with one byte changed: silence.
    std::string setup = kSetup;
    setup[20] = '0';
    for (const std::string& broken :
         {std::string("01800E10204D4030A502FFFFFFFFFFFFFFFFA5"),
          std::string("01800E10204D4030A502FFFFFFFFFFFFFF7FA4"), setup}) {
        for (const std::string& line : Feed(camera, broken)) {
            EXPECT_EQ(line.back(), '-') << line;
        }
    }
    EXPECT_EQ(camera.CommandCount(), 3);
    // An unfinished command waits, and is given up on request.
    EXPECT_TRUE(Feed(camera, "01800E10").empty());
    EXPECT_TRUE(camera.HasPending());
    EXPECT_EQ(camsim::LogLine(camera.DropPending().at(0)), "01800E10 -");
    EXPECT_FALSE(camera.HasPending());
}

TEST(CamsimMemory, DefaultPatternAndImage) {
    CameraMemory memory;
    // Worked out by hand: page 0, line 0, byte 0 is 0 + 0 + 2; page F, line F, byte F is
    // 0xF0 + 0xFF + 2 = 0x1F1, kept to its low byte.
    EXPECT_EQ(memory.At(0x00, 0x00, 0x02), 0x02);
    EXPECT_EQ(memory.At(0xF0, 0xFF, 0x02), 0xF1);

    const std::string path = ::testing::TempDir() + "vexlarin-image-" + std::to_string(getpid());
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 0x3A8; ++i) {
            out.put(static_cast<char>(i * 7));
        }
    }
    std::string error;
    ASSERT_TRUE(memory.LoadImage(path, error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(memory.At(0x00, 0x01, 0x02), 7);
    EXPECT_EQ(memory.At(0x30, 0xA5, 0x02), static_cast<std::uint8_t>(0x3A5 * 7));
    EXPECT_EQ(memory.At(0x30, 0xA8, 0x02), 0xFF);  // past the end of the file
    EXPECT_EQ(memory.At(0x31, 0x01, 0x02), 0xFF);  // not a page address
    EXPECT_EQ(memory.At(0x00, 0x01, 0x03), 0xFF);
}

TEST(CamsimOptions, ParsesEveryOptionAndRefusesBadOnes) {
    camsim::Options options;
    std::string error;
    ASSERT_TRUE(
        camsim::ParseOptions({"--silent-after=3", "--extra", "2", "--garbage", "--pause", "10",
                              "--baud", "9600", "--hangup-after", "0", "--log", "x.log",
                              "--image=m.bin", "--link", "/tmp/l", "--garbage-stream"},
                             options, error))
        << error;
    EXPECT_EQ(options.faults.silentAfter, 3);
    EXPECT_EQ(options.faults.extraBytes, 2);
    EXPECT_TRUE(options.faults.garbage);
    EXPECT_EQ(options.pauseMs, 10);
    EXPECT_EQ(options.baud, 9600);
    EXPECT_EQ(options.hangupAfter, 0);
    EXPECT_EQ(options.log, "x.log");
    EXPECT_EQ(options.image, "m.bin");
    EXPECT_EQ(options.link, "/tmp/l");
    EXPECT_TRUE(options.garbageStream);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--baud", "0"},
                                                {"--pause", "-1"},
                                                {"--extra", "2x"},
                                                {"--silent-after"},
                                                {"--garbage=1"},
                                                {"--frobnicate"},
                                                {"--log", ""},
                                                {"--hangup-after", "99999999999"}}) {
        camsim::Options o;
        error.clear();
        EXPECT_FALSE(camsim::ParseOptions(bad, o, error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
}
