// The simulated camera's protocol logic, bytes in and bytes out, and its memory and options.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "camsim_memory.h"
#include "camsim_options.h"
#include "camsim_protocol.h"
#include "tools/camsim_process.h"

using camsim::CameraMemory;
using camsim::CameraProtocol;
using camsim::Exchange;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<Exchange> Feed(CameraProtocol& camera, const std::string& hex) {
    const auto bytes = Bytes(hex);
    return camera.Receive(bytes.data(), bytes.size());
}

std::vector<std::string> Lines(const std::vector<Exchange>& exchanges) {
    std::vector<std::string> lines;
    for (const Exchange& e : exchanges) {
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
    const auto lines = Lines(Feed(camera, kPing + kAck + kSetup + kReadA5));
    // Default memory at 30 A5 02: 0x30 + 0xA5 + 0x02 = 0xD7. Reply check byte worked out by
    // hand: xor of 0D 10 20 4D 40 30 A5 D7 and seven FF is 8D.
    const std::vector<std::string> expected = {
        "05807F 06807F",
        "103B04 06",
        kSetup + " 06" + kSetup + "06",
        kReadA5 + " 06800D10204D4030A5D7FFFFFFFFFFFFFF8D",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(camera.CommandCount(), 4);
}

TEST(CamsimProtocol, FindsCommandsInAByteStream) {
    CameraMemory memory;
    CameraProtocol camera(memory);
    // Byte by byte: nothing until the last byte of each command.
    const auto bytes = Bytes(kReadA5);
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        EXPECT_TRUE(camera.Receive(&bytes[i], 1).empty()) << "after byte " << i;
    }
    EXPECT_EQ(camera.Receive(&bytes.back(), 1).size(), 1u);

    // Garbage before a command is dropped as one run, then the command is answered.
    EXPECT_EQ(Lines(Feed(camera, "AA0041" + kPing)),
              (std::vector<std::string>{"AA0041 -", "05807F 06807F"}));
    // A ping cut short by garbage: the broken start is dropped, the search resyncs.
    EXPECT_EQ(Lines(Feed(camera, "0580" + kAck)),
              (std::vector<std::string>{"0580 -", "103B04 06"}));
}

TEST(CamsimProtocol, StaysSilentOnBrokenCommands) {
    CameraMemory memory;
    CameraProtocol camera(memory);
    // Wrong check byte (A5 instead of A4) and a wrong fixed FF: neither is answered.
    const std::string wrongCheck = "01800E10204D4030A502FFFFFFFFFFFFFFFFA5";
    const std::string wrongFixed = "01800E10204D4030A502FFFFFFFFFFFFFF7FA4";
    for (const std::string& command : {wrongCheck, wrongFixed}) {
        const auto exchanges = Feed(camera, command);
        for (const Exchange& e : exchanges) {
            EXPECT_FALSE(e.recognised);
            EXPECT_TRUE(e.reply.empty());
        }
    }
    // A set-up command with one byte changed is not the set-up command.
    std::string setup = kSetup;
    setup[20] = '0';
    for (const Exchange& e : Feed(camera, setup)) {
        EXPECT_FALSE(e.recognised);
    }
    EXPECT_EQ(camera.CommandCount(), 0);

    // An unfinished command waits, and is given up on request.
    EXPECT_TRUE(Feed(camera, "01800E10").empty());
    EXPECT_TRUE(camera.HasPending());
    EXPECT_EQ(Lines(camera.DropPending()), std::vector<std::string>{"01800E10 -"});
    EXPECT_FALSE(camera.HasPending());
    EXPECT_EQ(Lines(Feed(camera, kPing)), std::vector<std::string>{"05807F 06807F"});
}

TEST(CamsimProtocol, ReplyFaults) {
    CameraMemory memory;
    {
        CameraProtocol camera(memory, {2, false, 0});
        EXPECT_EQ(Lines(Feed(camera, kPing + kAck + kPing + kAck)),
                  (std::vector<std::string>{"05807F 06807F", "103B04 06", "05807F -", "103B04 -"}));
    }
    {
        CameraProtocol camera(memory, {-1, false, 2});
        EXPECT_EQ(Lines(Feed(camera, kPing + kAck)),
                  (std::vector<std::string>{"05807F 06807FEEEE", "103B04 06EEEE"}));
    }
    {
        CameraProtocol camera(memory, {-1, true, 0});
        const auto exchanges = Feed(camera, kPing + kAck + kSetup + kReadA5);
        ASSERT_EQ(exchanges.size(), 4u);
        const std::vector<std::string> right = {"06807F", "06", "06" + kSetup + "06",
                                                "06800D10204D4030A5D7FFFFFFFFFFFFFF8D"};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(exchanges[i].reply.size() * 2, right[i].size());
            EXPECT_NE(Hex(exchanges[i].reply), right[i]);
        }
    }
}

TEST(CamsimMemory, DefaultPatternDiffersAroundEveryByteAndAcrossPages) {
    CameraMemory memory;
    // Worked out by hand: page 0, line 0, byte 0 is 0 + 0 + 2; page 3, line A, byte 5 is
    // 0x30 + 0xA5 + 2 = 0xD7; page F, line F, byte F is 0xF0 + 0xFF + 2 = 0x1F1 mod 256.
    EXPECT_EQ(memory.At(0x00, 0x00, 0x02), 0x02);
    EXPECT_EQ(memory.At(0x30, 0xA5, 0x02), 0xD7);
    EXPECT_EQ(memory.At(0xF0, 0xFF, 0x02), 0xF1);
    for (int page = 0; page < 16; ++page) {
        const auto a7 = static_cast<std::uint8_t>(page << 4);
        for (int at = 0; at < 256; ++at) {
            const auto a8 = static_cast<std::uint8_t>(at);
            const std::uint8_t value = memory.At(a7, a8, 0x02);
            if ((at & 15) != 15) {
                EXPECT_NE(value, memory.At(a7, static_cast<std::uint8_t>(at + 1), 0x02));
            }
            if (at < 240) {
                EXPECT_NE(value, memory.At(a7, static_cast<std::uint8_t>(at + 16), 0x02));
            }
            for (int other = page + 1; other < 16; ++other) {
                EXPECT_NE(value, memory.At(static_cast<std::uint8_t>(other << 4), a8, 0x02));
            }
        }
    }
}

TEST(CamsimMemory, ImageMapsPagesAndReadsFFBeyond) {
    const std::string path = TempPath("image.bin");
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 0x3A8; ++i) {
            out.put(static_cast<char>(i * 7));
        }
    }
    CameraMemory memory;
    std::string error;
    ASSERT_TRUE(memory.LoadImage(path, error)) << error;
    EXPECT_EQ(memory.At(0x00, 0x01, 0x02), 7);
    EXPECT_EQ(memory.At(0x30, 0xA5, 0x02), static_cast<std::uint8_t>(0x3A5 * 7));
    EXPECT_EQ(memory.At(0x30, 0xA8, 0x02), 0xFF);  // past the end of the file
    EXPECT_EQ(memory.At(0x31, 0x01, 0x02), 0xFF);  // not a page address
    EXPECT_EQ(memory.At(0x00, 0x01, 0x03), 0xFF);
    std::remove(path.c_str());
}

TEST(CamsimMemory, ImageFaultsNameTheFileAndTheReason) {
    CameraMemory memory;
    std::string error;
    EXPECT_FALSE(memory.LoadImage("/nonexistent/vexlarin-image", error));
    EXPECT_NE(error.find("/nonexistent/vexlarin-image"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    const std::string dir = TempPath("image-dir");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    EXPECT_FALSE(memory.LoadImage(dir, error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    rmdir(dir.c_str());
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
        EXPECT_FALSE(error.empty());
    }
}
