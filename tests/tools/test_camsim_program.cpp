// vexlarin-camsim as a user runs it: a child process on a pseudo-terminal. Its replies and
// faults are checked through the listings; here what no listing shows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
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

// Writes `command`, then reads up to `count` bytes back until the terminal hangs up (or, as a
// safety net only, after 10 s of silence).
std::string Exchange(int fd, const std::string& command, std::size_t count) {
    EXPECT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string reply;
    char byte;
    for (pollfd p{fd, POLLIN, 0};
         reply.size() < count && poll(&p, 1, 10000) > 0 && read(fd, &byte, 1) == 1;) {
        reply += byte;
    }
    return reply;
}

const std::string kPing = "\x05\x80\x7F";
// A read of page 3, line A, byte 5, without its check byte.
const std::string kRead = "\x01\x80\x0E\x10\x20\x4D\x40\x30\xA5\x02" + std::string(8, '\xFF');

}  // namespace

TEST(CamsimProgram, AnswersAcrossReopensLogsEachExchangeAndHangsUpWhenTold) {
    TempDir dir;
    SimulatedCamera camsim(dir / "camsim.log", {"--link", dir / "link", "--hangup-after", "6"});
    // The tool closes and re-opens the port around every listing: the camera must survive it.
    // A wrong check byte gets no answer, and the next command does. The default memory holds
    // 30 + A5 + 02 = D7 at 30 A5 02; the reply's check is the xor of 0D to D7 and seven FF.
    for (int round = 0; round < 3; ++round) {
        const int fd = OpenRaw(dir / "link");
        ASSERT_GE(fd, 0);
        EXPECT_EQ(Exchange(fd, kRead + "\xA5" + kPing, 3), "\x06\x80\x7F");
        EXPECT_EQ(Exchange(fd, kRead + "\xA4", 18),
                  "\x06\x80\x0D\x10\x20\x4D\x40\x30\xA5\xD7" + std::string(7, '\xFF') + "\x8D");
        close(fd);
    }
    const int fd = OpenRaw(dir / "link");
    EXPECT_EQ(Exchange(fd, kPing, 3), "") << "the seventh command is the one it hangs up at";
    close(fd);
    const std::string log = ReadFileText(dir / "camsim.log");
    EXPECT_EQ(camsim.Exchanges(), 10);
    EXPECT_TRUE(log.starts_with("01800E10204D4030A502FFFFFFFFFFFFFFFFA5 -\n")) << log;
    EXPECT_TRUE(log.ends_with("\n05807F -\n")) << log;
}
