// vexlarin-camsim as a user runs it: a child process on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "tools/camsim_process.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

TEST(CamsimProgram, HelpDescribesTheOptionsAndBadLinesAreRefused) {
    std::string help;
    EXPECT_EQ(RunCamsim({"--help"}, help), 0);
    for (const char* option :
         {"--link", "--image", "--log", "--silent-after", "--garbage", "--extra", "--pause",
          "--garbage-stream", "--baud", "--hangup-after"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    std::string nothing;
    EXPECT_EQ(RunCamsim({"--baud", "fast"}, nothing), 2);
    EXPECT_EQ(nothing, "");  // nothing but the device path ever goes to standard output
    EXPECT_EQ(RunCamsim({"--image", "/nonexistent/vexlarin-image"}, nothing), 1);
}

TEST(CamsimProgram, AnswersOnItsTerminalAcrossReopensAndLogsEachExchange) {
    const std::string log = TempPath("camsim.log");
    const std::string link = TempPath("camsim-link");
    CamsimProcess camsim({"--log", log, "--link", link});
    ASSERT_EQ(camsim.DevicePath().rfind("/dev/pts/", 0), 0u) << camsim.DevicePath();
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), camsim.DevicePath());

    // The tool closes and re-opens the port around every listing: the camera must survive it.
    for (int round = 0; round < 3; ++round) {
        const int fd = OpenRaw(link);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(WriteHex(fd, "05807F"));
        EXPECT_EQ(Hex(ReadBytes(fd, 3)), "06807F") << "round " << round;
        ASSERT_TRUE(WriteHex(fd, "103B04"));
        EXPECT_EQ(Hex(ReadBytes(fd, 1)), "06");
        close(fd);
    }
    EXPECT_EQ(camsim.Stop(), 0);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link outlived the simulator";
    const auto lines = ReadLines(log);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "05807F 06807F");
    EXPECT_EQ(lines[5], "103B04 06");
    std::remove(log.c_str());
}

TEST(CamsimProgram, HangsUpAfterTheGivenNumberOfCommands) {
    const std::string log = TempPath("hangup.log");
    CamsimProcess camsim({"--hangup-after", "1", "--log", log});
    const int fd = OpenRaw(camsim.DevicePath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WriteHex(fd, "05807F"));
    EXPECT_EQ(Hex(ReadBytes(fd, 3)), "06807F");
    ASSERT_TRUE(WriteHex(fd, "05807F"));
    // The hang-up: the simulator exits by itself, and the terminal reads nothing more.
    EXPECT_EQ(camsim.Wait(), 0);
    EXPECT_TRUE(ReadBytes(fd, 1).empty());
    close(fd);
    EXPECT_EQ(ReadLines(log), (std::vector<std::string>{"05807F 06807F", "05807F -"}));
    std::remove(log.c_str());
}

TEST(CamsimProgram, PacesBytesAndPausesBetweenThem) {
    // At 300 baud a byte takes 1000 / 30 ms: 3 bytes in and 3 bytes out take at least 200 ms;
    // --pause 150 adds two pauses of 150 ms between the reply bytes.
    CamsimProcess camsim({"--baud", "300", "--pause", "150"});
    const int fd = OpenRaw(camsim.DevicePath());
    ASSERT_GE(fd, 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteHex(fd, "05807F"));
    EXPECT_EQ(Hex(ReadBytes(fd, 3)), "06807F");
    EXPECT_GE(MsSince(start), 200.0 + 300.0);
    close(fd);
}

TEST(CamsimProgram, GarbageStreamKeepsComingAfterTheFirstCommand) {
    CamsimProcess camsim({"--garbage-stream"});
    const int fd = OpenRaw(camsim.DevicePath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WriteHex(fd, "05807F"));
    // Far more than the 40 bytes of the tool's reply buffer, and no ping reply among them.
    const auto bytes = ReadBytes(fd, 200);
    EXPECT_EQ(bytes.size(), 200u);
    EXPECT_EQ(Hex(bytes).find("06807F"), std::string::npos);
    close(fd);
}

TEST(CamsimProgram, ReplyFaultsReachTheTerminal) {
    const std::string stderrPath = TempPath("camsim.err");
    CamsimProcess camsim({"--extra", "2", "--silent-after", "1"}, stderrPath);
    const int fd = OpenRaw(camsim.DevicePath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WriteHex(fd, "05807F"));
    EXPECT_EQ(Hex(ReadBytes(fd, 5)), "06807FEEEE");
    ASSERT_TRUE(WriteHex(fd, "05807F"));
    EXPECT_TRUE(ReadBytes(fd, 1, 2500).empty());  // silent from the second command on
    close(fd);
    EXPECT_EQ(camsim.Stop(), 0);
    EXPECT_NE(ReadFile(stderrPath).find("stopping"), std::string::npos);
    std::remove(stderrPath.c_str());
}
