// Opening and configuring a port through CSerialLink, on pseudo-terminals; failing steps are
// made through the port fault seam.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/open_error.h"
#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;
using platform::PortCall;

bool Open(CSerialLink& link, int port) {
    return link.OpenPort(port, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);
}

// Reads from fd until `count` bytes came or nothing more arrives within a generous 10 s.
Bytes ReadBytes(int fd, std::size_t count) {
    Bytes got;
    pollfd p{fd, POLLIN, 0};
    std::uint8_t chunk[64];
    while (got.size() < count && poll(&p, 1, 10000) == 1) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

class OpenPortTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ResetPortFaults(); }
    void TearDown() override { platform::ResetPortFaults(); }

    AllPortsMissing m_missing;
    PtyPair m_pty1;
    PtyPair m_pty2;
    PortMapping m_com1{1, m_pty1.DevicePath()};
    PortMapping m_com2{2, m_pty2.DevicePath()};
    WarningRecorder m_warnings;
};

TEST_F(OpenPortTest, PortEndsUp9600_8N1RawWithoutFlowControlAndIsLeftAsItWas) {
    termios before;  // a fresh terminal: canonical, echo on
    ASSERT_EQ(tcgetattr(m_pty1.MasterFd(), &before), 0);
    ASSERT_EQ(before.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    CSerialLink link(&m_warnings);
    ASSERT_TRUE(Open(link, 1));
    EXPECT_EQ(m_warnings.Count(), 0u);
    EXPECT_EQ(link.DevicePath(), m_pty1.DevicePath());
    EXPECT_EQ(link.OpenError(), 0);
    EXPECT_EQ(Access::PortNumber(link), 1);
    EXPECT_EQ(Access::SendBufferSize(link), 512u);
    const platform::PortTimeouts& t = Access::Timeouts(link);
    for (const int ms :
         {t.readIntervalTimeout, t.readTotalTimeoutMultiplier, t.readTotalTimeoutConstant,
          t.writeTotalTimeoutMultiplier, t.writeTotalTimeoutConstant}) {
        EXPECT_EQ(ms, 1000);
    }
    EXPECT_EQ(Access::Dcb(link).rtsControl, 1);

    const int fd = Access::Port(link)->Fd();
    termios tio;
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // Raw both ways: carriage return, line feed, interrupt, XON, XOFF and 0xFF pass unchanged.
    const Bytes bytes{0x0D, 0x0A, 0x03, 0x11, 0x13, 0xFF, 0x00, 0x7F};
    ASSERT_EQ(write(m_pty1.MasterFd(), bytes.data(), bytes.size()), 8);
    EXPECT_EQ(ReadBytes(fd, bytes.size()), bytes);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), 8);
    EXPECT_EQ(ReadBytes(m_pty1.MasterFd(), bytes.size()), bytes);

    // Closed (by the next open), the terminal has its own settings back.
    EXPECT_FALSE(Open(link, 3));
    termios after;
    ASSERT_EQ(tcgetattr(m_pty1.MasterFd(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
}

TEST_F(OpenPortTest, ReopensOfTheSameOrAnotherPortLeakNothingAndLeaveFreshEvents) {
    CSerialLink link(&m_warnings);
    ASSERT_TRUE(Open(link, 1));
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 100; ++i) {
        // The same port twice (its exclusive hold must not outlive the close), the other one,
        // and one that is missing.
        ASSERT_TRUE(Open(link, 1 + i % 2));
        Access::SendEvent(link)->Set();
        Access::ByteEvent(link)->Set();
        Access::StopEvent(link)->Set();
        ASSERT_TRUE(Open(link, 1 + i % 2));
        ASSERT_FALSE(Access::SendEvent(link)->IsSet() || Access::ByteEvent(link)->IsSet() ||
                     Access::StopEvent(link)->IsSet());
        ASSERT_FALSE(Open(link, 3));
    }
    ASSERT_TRUE(Open(link, 1));
    EXPECT_EQ(OpenDescriptorCount(), before);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(OpenPortTest, HeldPortIsRefusedUntilItsHolderMovesOnOrGoes) {
    auto first = std::make_unique<CSerialLink>(&m_warnings);
    CSerialLink second(&m_warnings);
    CSerialLink third(&m_warnings);
    ASSERT_TRUE(Open(*first, 1));

    // Also as root, where the exclusive terminal flag alone would let a second open through.
    EXPECT_FALSE(Open(second, 1));
    EXPECT_EQ(second.OpenError(), EBUSY);
    EXPECT_FALSE(second.IsPortOpen());
    EXPECT_EQ(Access::PortNumber(second), 1);
    EXPECT_FALSE(Open(third, 1));  // the refused open did not disturb the holder

    // The holder re-opens elsewhere: its old port is free.
    ASSERT_TRUE(Open(*first, 2));
    EXPECT_TRUE(Open(second, 1));
    EXPECT_FALSE(Open(third, 2));
    // An open that fails still lets go of the port held before.
    EXPECT_FALSE(Open(second, 3));
    EXPECT_TRUE(Open(third, 1));

    // The holder goes: its port is free.
    first.reset();
    EXPECT_TRUE(Open(second, 2));
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(OpenPortTest, PortsThatDoNotOpenGiveFalseSilentlyAndAreRecorded) {
    CSerialLink link(&m_warnings);
    // COM0, COM5 and COM-1 map to no device at all; COM3 maps to a path that does not exist.
    for (const int port : {0, 5, -1, 3}) {
        EXPECT_FALSE(Open(link, port)) << port;
        EXPECT_FALSE(link.IsPortOpen()) << port;
        EXPECT_EQ(link.OpenError(), ENOENT) << port;
        EXPECT_EQ(Access::PortNumber(link), port);
        EXPECT_NE(Access::SendBuffer(link), nullptr);  // the transmit buffer is still replaced
    }
    EXPECT_EQ(link.DevicePath(), "/nonexistent/vexlarin-com3");
    // Anything but a terminal is no port, and nothing is written to it.
    char file[] = "/tmp/vexlarin-not-a-port-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_EQ(write(fd, "kept\r\n", 6), 6);
    const std::string fifo = std::string(file) + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {std::string(file), fifo, std::string("/dev/null")}) {
        PortMapping com4(4, path);
        EXPECT_FALSE(Open(link, 4)) << path;
        EXPECT_EQ(link.OpenError(), ENOTTY) << path;
    }
    EXPECT_EQ(platform::OpenErrorText(ENOTTY, ""), "not a serial device");
    EXPECT_EQ(lseek(fd, 0, SEEK_END), 6);
    close(fd);
    unlink(file);
    unlink(fifo.c_str());
    EXPECT_EQ(platform::PortCallCount(PortCall::SetTimeouts), 0u);
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 0u);

    // A refused open (the user not in the device's group) is just as silent.
    platform::InjectPortFault(PortCall::Open, EACCES);
    EXPECT_FALSE(Open(link, 1));
    EXPECT_EQ(link.OpenError(), EACCES);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(OpenPortTest, EachFailingStepGivesOneWarningSkipsTheRestAndStillPurges) {
    // The configuration steps in order, and the system's text for the code each fails with,
    // by hand. The purge fails last: it is never reported.
    struct Step {
        PortCall call;
        const char* operation;
        int error;
        const char* systemText;
    };
    const Step steps[] = {
        {PortCall::SetTimeouts, "SetCommTimeouts()", EIO, "Input/output error"},
        {PortCall::SetMask, "SetCommMask()", EBADF, "Bad file descriptor"},
        {PortCall::GetState, "GetCommState()", ENOTTY, "Inappropriate ioctl for device"},
        {PortCall::BuildState, "BuildCommDCB()", EINVAL, "Invalid argument"},
        {PortCall::SetState, "SetCommState()", EPERM, "Operation not permitted"},
        {PortCall::Purge, nullptr, EIO, nullptr},
    };
    PortMapping com3(3, m_pty1.DevicePath());
    for (const Step& failing : steps) {
        SCOPED_TRACE(failing.error);
        WarningRecorder warnings;
        bool lockFreeInBox = false;
        unsigned long purgesBeforeBox = 1;
        CSerialLink link(&warnings);
        // The box's event loop may call back into the dialog, and what arrives while it is
        // open must be purged too: the box comes with the lock left and before the purge.
        warnings.onShow = [&] {
            lockFreeInBox = Access::PortLockFree(link);
            purgesBeforeBox = platform::PortCallCount(PortCall::Purge);
        };
        platform::ResetPortFaults();
        platform::InjectPortFault(failing.call, failing.error);

        EXPECT_TRUE(Open(link, 3));
        EXPECT_TRUE(link.IsPortOpen());
        bool reached = false;
        for (const Step& step : steps) {
            // Every step up to the failing one ran once; none after it ran, but the purge.
            const bool skipped = reached && step.call != PortCall::Purge;
            EXPECT_EQ(platform::PortCallCount(step.call), skipped ? 0u : 1u) << step.operation;
            reached = reached || step.call == failing.call;
        }
        if (failing.operation == nullptr) {
            EXPECT_EQ(warnings.Count(), 0u);
            continue;
        }
        ASSERT_EQ(warnings.Count(), 1u);
        EXPECT_EQ(warnings.Titles()[0], "Application Error");
        EXPECT_EQ(warnings.Texts()[0], std::string("WARNING:  ") + failing.operation +
                                           " Failed with the following error: \n" +
                                           failing.systemText + "\nPort: 3\n");
        EXPECT_TRUE(lockFreeInBox);
        EXPECT_EQ(purgesBeforeBox, 0u);
        // The port is still ours.
        CSerialLink other(&m_warnings);
        EXPECT_FALSE(Open(other, 1));
    }
}

TEST_F(OpenPortTest, SettingsThePortCannotTakeAreReportedByTheirStep) {
    CSerialLink link(&m_warnings);
    // No such speed: the settings text cannot be built.
    EXPECT_TRUE(link.OpenPort(1, 12345, 'N', 8, 1, platform::EV_RXCHAR, 512));
    // A pseudo-terminal keeps 8 bits without parity: read back, the settings differ.
    EXPECT_TRUE(link.OpenPort(2, 9600, 'E', 7, 1, platform::EV_RXCHAR, 512));
    EXPECT_EQ(m_warnings.Texts(), (std::vector<std::string>{
                                      "WARNING:  BuildCommDCB() Failed with the following error: \n"
                                      "Invalid argument\nPort: 1\n",
                                      "WARNING:  SetCommState() Failed with the following error: \n"
                                      "Invalid argument\nPort: 2\n"}));
}

}  // namespace
