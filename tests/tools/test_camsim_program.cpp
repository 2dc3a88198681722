// vexlarin-camsim as a user runs it: a child process on a pseudo-terminal. Its replies and
// faults are checked through the listings; here what no listing shows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

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

// Writes the bytes of `hex`, then reads up to `count` bytes back, in hexadecimal, until the
// terminal hangs up (or, as a safety net only, after 10 s of silence).
std::string Exchange(int fd, const std::string& hex, std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::string reply;
    char byte;
    for (pollfd p{fd, POLLIN, 0};
         reply.size() < 2 * count && poll(&p, 1, 10000) > 0 && read(fd, &byte, 1) == 1;) {
        reply += "0123456789ABCDEF"[(byte >> 4) & 15];
        reply += "0123456789ABCDEF"[byte & 15];
    }
    return reply;
}

}  // namespace

TEST(CamsimProgram, AnswersAcrossReopensLogsEachExchangeAndHangsUpWhenTold) {
    TempDir dir;
    SimulatedCamera camsim(dir / "camsim.log", {"--link", dir / "link", "--hangup-after", "6"});
    // The tool closes and re-opens the port around every listing: the camera must survive it.
    // A command with a wrong check byte (page 3, line A, byte 5: A4 is right) gets no answer.
    for (int round = 0; round < 3; ++round) {
        const int fd = OpenRaw(dir / "link");
        ASSERT_GE(fd, 0);
        EXPECT_EQ(Exchange(fd,
                           "01800E10204D4030A502FFFFFFFFFFFFFFFFA5"
                           "05807F",
                           3),
                  "06807F");
        EXPECT_EQ(Exchange(fd, "103B04", 1), "06");
        close(fd);
    }
    // The seventh command is the one it hangs up at.
    const int fd = OpenRaw(dir / "link");
    EXPECT_EQ(Exchange(fd, "05807F", 3), "");
    close(fd);
    EXPECT_EQ(camsim.Wait(), 0);
    struct stat st;
    EXPECT_NE(lstat((dir / "link").c_str(), &st), 0) << "the link outlived the simulator";
    const auto lines = ReadLines(dir / "camsim.log");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "01800E10204D4030A502FFFFFFFFFFFFFFFFA5 -");
    EXPECT_EQ(lines[2], "103B04 06");
    EXPECT_EQ(lines[9], "05807F -");
}
