// vexlarin-camsim as a user runs it: a child process on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "support/simulated_camera.h"

namespace {

// Opens the simulator's terminal in raw mode, as the tool does.
int OpenRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Writes the bytes of `hex`, then reads up to `count` bytes back, in hexadecimal; gives up
// after `safetyMs` of silence (a safety net only).
std::string Exchange(int fd, const std::string& hex, std::size_t count, int safetyMs = 10000) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::string reply;
    char byte;
    for (pollfd p{fd, POLLIN, 0};
         reply.size() < 2 * count && poll(&p, 1, safetyMs) > 0 && read(fd, &byte, 1) == 1;) {
        reply += "0123456789ABCDEF"[(byte >> 4) & 15];
        reply += "0123456789ABCDEF"[byte & 15];
    }
    return reply;
}

}  // namespace

TEST(CamsimProgram, HelpDescribesTheOptionsAndBadLinesAreRefused) {
    const ChildOutcome help = RunChild({VEXLARIN_CAMSIM, "--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* option :
         {"--link", "--image", "--log", "--silent-after", "--garbage", "--extra", "--pause",
          "--garbage-stream", "--baud", "--hangup-after"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const ChildOutcome bad = RunChild({VEXLARIN_CAMSIM, "--baud", "fast"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.out, "");  // nothing but the device path ever goes to standard output
    const ChildOutcome image = RunChild({VEXLARIN_CAMSIM, "--image", "/nonexistent/image"});
    EXPECT_EQ(image.code, 1);
    EXPECT_NE(image.err.find("/nonexistent/image: No such file or directory"), std::string::npos)
        << image.err;
}

TEST(CamsimProgram, EndsSilentlyWhenAskedTo) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ChildOptions options;
        options.stderrPath = "";
        ChildProcess camsim({VEXLARIN_CAMSIM}, options);
        std::string device;
        ASSERT_TRUE(camsim.ReadLine(device));
        camsim.Signal(signal);
        EXPECT_EQ(camsim.ReadRest() + camsim.ReadErrors(), "") << strsignal(signal);
        EXPECT_EQ(camsim.Wait(), 0) << strsignal(signal);
    }
}

TEST(CamsimProgram, AnswersOnItsTerminalAcrossReopensAndLogsEachExchange) {
    TempDir dir;
    SimulatedCamera camsim(dir / "camsim.log", {"--link", dir / "link"});
    ASSERT_EQ(camsim.DevicePath().rfind("/dev/pts/", 0), 0u) << camsim.DevicePath();
    char target[256] = {};
    ASSERT_GT(readlink((dir / "link").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), camsim.DevicePath());

    // The tool closes and re-opens the port around every listing: the camera must survive it.
    for (int round = 0; round < 3; ++round) {
        const int fd = OpenRaw(dir / "link");
        ASSERT_GE(fd, 0);
        EXPECT_EQ(Exchange(fd, "05807F", 3), "06807F") << "round " << round;
        EXPECT_EQ(Exchange(fd, "103B04", 1), "06");
        close(fd);
    }
    EXPECT_EQ(camsim.Stop(), 0);
    struct stat st;
    EXPECT_NE(lstat((dir / "link").c_str(), &st), 0) << "the link outlived the simulator";
    const auto lines = ReadLines(dir / "camsim.log");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "05807F 06807F");
    EXPECT_EQ(lines[5], "103B04 06");
}

TEST(CamsimProgram, PacesBytesAndPausesBetweenThem) {
    // At 300 baud a byte takes 1000 / 30 ms: 3 bytes in and 3 bytes out take at least 200 ms;
    // --pause 150 adds two pauses of 150 ms between the reply bytes.
    SimulatedCamera camsim(std::vector<std::string>{"--baud", "300", "--pause", "150"});
    const int fd = OpenRaw(camsim.DevicePath());
    ASSERT_GE(fd, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(fd, "05807F", 3), "06807F");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200 + 300));
    close(fd);
}

TEST(CamsimProgram, GarbageStreamKeepsComingAfterTheFirstCommand) {
    SimulatedCamera camsim(std::vector<std::string>{"--garbage-stream"});
    const int fd = OpenRaw(camsim.DevicePath());
    ASSERT_GE(fd, 0);
    // Far more than the 40 bytes of the tool's reply buffer, and no ping reply among them.
    const std::string bytes = Exchange(fd, "05807F", 200);
    EXPECT_EQ(bytes.size(), 400u);
    EXPECT_EQ(bytes.find("06807F"), std::string::npos);
    close(fd);
}
