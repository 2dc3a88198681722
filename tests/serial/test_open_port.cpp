// Opening and configuring a port through CSerialLink, on pseudo-terminals; failing steps are
// made through the port fault seam.
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using platform::PortCall;

bool Open(CSerialLink& link, int port) {
    return link.OpenPort(port, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);
}

// Waits (generously) until fd has something to read.
bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 10000) == 1 && (p.revents & POLLIN);
}

// Reads from fd until `count` bytes came or nothing more arrives in time.
std::vector<std::uint8_t> ReadBytes(int fd, std::size_t count) {
    std::vector<std::uint8_t> got;
    std::uint8_t chunk[64];
    while (got.size() < count && Readable(fd)) {
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

TEST_F(OpenPortTest, PortEndsUp9600_8N1RawWithoutFlowControl) {
    CSerialLink link(&m_warnings);
    ASSERT_TRUE(Open(link, 1));
    EXPECT_EQ(m_warnings.Count(), 0u);
    EXPECT_TRUE(link.IsPortOpen());
    EXPECT_EQ(link.DevicePath(), m_pty1.DevicePath());
    EXPECT_EQ(link.OpenError(), 0);
    EXPECT_EQ(Access::PortNumber(link), 1);
    EXPECT_NE(Access::SendBuffer(link), nullptr);
    EXPECT_EQ(Access::SendBufferSize(link), 512u);
    const platform::PortTimeouts& t = Access::Timeouts(link);
    EXPECT_EQ(t.readIntervalTimeout, 1000);
    EXPECT_EQ(t.readTotalTimeoutMultiplier, 1000);
    EXPECT_EQ(t.readTotalTimeoutConstant, 1000);
    EXPECT_EQ(t.writeTotalTimeoutMultiplier, 1000);
    EXPECT_EQ(t.writeTotalTimeoutConstant, 1000);
    EXPECT_EQ(Access::Dcb(link).rtsControl, 1);

    const int fd = Access::Port(link)->Fd();
    termios tio;
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // Raw both ways: carriage return, line feed, interrupt, XON, XOFF and 0xFF pass unchanged.
    const std::uint8_t bytes[] = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0xFF, 0x00, 0x7F};
    ASSERT_EQ(write(m_pty1.MasterFd(), bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
    const std::vector<std::uint8_t> sent(std::begin(bytes), std::end(bytes));
    EXPECT_EQ(ReadBytes(fd, sent.size()), sent);
    ASSERT_EQ(write(fd, bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
    EXPECT_EQ(ReadBytes(m_pty1.MasterFd(), sent.size()), sent);
}

TEST_F(OpenPortTest, AHundredReopensLeakNoDescriptor) {
    CSerialLink link(&m_warnings);
    ASSERT_TRUE(Open(link, 1));
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 100; ++i) {
        // The same port, the other one, and one that is missing.
        ASSERT_TRUE(Open(link, 1 + i % 2));
        ASSERT_FALSE(Open(link, 3));
    }
    ASSERT_TRUE(Open(link, 1));
    EXPECT_EQ(OpenDescriptorCount(), before);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(OpenPortTest, HeldPortIsRefusedUntilItsHolderMovesOnOrGoes) {
    auto first = std::make_unique<CSerialLink>(&m_warnings);
    CSerialLink second(&m_warnings);
    ASSERT_TRUE(Open(*first, 1));

    EXPECT_FALSE(Open(second, 1));
    EXPECT_EQ(second.OpenError(), EBUSY);
    EXPECT_FALSE(second.IsPortOpen());
    EXPECT_EQ(Access::PortNumber(second), 1);
    // The refused open did not disturb the holder: it still keeps everybody out.
    CSerialLink third(&m_warnings);
    EXPECT_FALSE(Open(third, 1));

    // The holder re-opens elsewhere: its old port is free.
    ASSERT_TRUE(Open(*first, 2));
    EXPECT_TRUE(Open(second, 1));
    EXPECT_FALSE(Open(third, 2));

    // The holder goes: its port is free.
    first.reset();
    EXPECT_TRUE(Open(third, 2));
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(OpenPortTest, FailedOpenStillReleasesThePreviousPort) {
    CSerialLink link(&m_warnings);
    CSerialLink other(&m_warnings);
    ASSERT_TRUE(Open(link, 1));
    EXPECT_FALSE(Open(link, 3));
    EXPECT_TRUE(Open(other, 1));
}

TEST_F(OpenPortTest, ReopeningTheSamePortWorks) {
    CSerialLink link(&m_warnings);
    ASSERT_TRUE(Open(link, 1));
    ASSERT_TRUE(Open(link, 1));
    EXPECT_EQ(m_warnings.Count(), 0u);

    const std::uint8_t byte = 0x5A;
    ASSERT_EQ(write(m_pty1.MasterFd(), &byte, 1), 1);
    EXPECT_EQ(ReadBytes(Access::Port(link)->Fd(), 1), std::vector<std::uint8_t>{0x5A});
}

TEST_F(OpenPortTest, PortsThatDoNotOpenGiveFalseSilentlyAndAreRecorded) {
    CSerialLink link(&m_warnings);
    // COM0, COM5 and COM-1 map to no device at all; COM3 maps to a path that does not exist.
    for (const int port : {0, 5, -1, 3}) {
        EXPECT_FALSE(Open(link, port)) << port;
        EXPECT_FALSE(link.IsPortOpen()) << port;
        EXPECT_EQ(link.OpenError(), ENOENT) << port;
        EXPECT_EQ(Access::PortNumber(link), port);
        // The transmit buffer is still replaced.
        EXPECT_NE(Access::SendBuffer(link), nullptr);
    }
    EXPECT_EQ(link.DevicePath(), "/nonexistent/vexlarin-com3");
    EXPECT_EQ(m_warnings.Count(), 0u);
    EXPECT_EQ(platform::PortCallCount(PortCall::SetTimeouts), 0u);
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 0u);

    // A refused open (the user not in the device's group) is just as silent.
    platform::InjectPortFault(PortCall::Open, EACCES);
    EXPECT_FALSE(Open(link, 1));
    EXPECT_EQ(link.OpenError(), EACCES);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(OpenPortTest, SymlinkedDeviceOpens) {
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("vexlarin-by-id-" + std::to_string(getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(m_pty1.DevicePath(), link);
    {
        PortMapping com4(4, link.string());
        CSerialLink serial(&m_warnings);
        EXPECT_TRUE(Open(serial, 4));
        EXPECT_EQ(m_warnings.Count(), 0u);
        // It is the same device: the port behind the link is now held.
        CSerialLink other(&m_warnings);
        EXPECT_FALSE(Open(other, 1));
    }
    std::filesystem::remove(link);
}

TEST_F(OpenPortTest, EveryOpenLeavesFreshUnsignalledEvents) {
    CSerialLink link(&m_warnings);
    for (const int port : {1, 3}) {
        Open(link, 1);
        Access::SendEvent(link)->Set();
        Access::ByteEvent(link)->Set();
        Access::StopEvent(link)->Set();
        Open(link, port);
        EXPECT_FALSE(Access::SendEvent(link)->IsSet()) << port;
        EXPECT_FALSE(Access::ByteEvent(link)->IsSet()) << port;
        EXPECT_FALSE(Access::StopEvent(link)->IsSet()) << port;
    }
}

// Each configuration step, the system's text for the code it fails with, by hand.
struct StepFault {
    PortCall call;
    const char* operation;
    int error;
    const char* systemText;
};

class ConfigurationStepFails : public OpenPortTest,
                               public ::testing::WithParamInterface<StepFault> {};

TEST_P(ConfigurationStepFails, OneWarningLaterStepsSkippedPortPurgedAndOpen) {
    const StepFault& fault = GetParam();
    const PortCall steps[] = {PortCall::SetTimeouts, PortCall::SetMask, PortCall::GetState,
                              PortCall::BuildState, PortCall::SetState};
    PortMapping com3(3, m_pty1.DevicePath());
    CSerialLink link(&m_warnings);
    platform::InjectPortFault(fault.call, fault.error);

    EXPECT_TRUE(Open(link, 3));
    EXPECT_TRUE(link.IsPortOpen());
    ASSERT_EQ(m_warnings.Count(), 1u);
    EXPECT_EQ(m_warnings.Titles()[0], "Application Error");
    EXPECT_EQ(m_warnings.Texts()[0], std::string("WARNING:  ") + fault.operation +
                                         " Failed with the following error: \n" + fault.systemText +
                                         "\nPort: 3\n");

    bool reached = false;
    for (const PortCall step : steps) {
        // Every step up to the failing one ran once; none after it ran.
        EXPECT_EQ(platform::PortCallCount(step), reached ? 0u : 1u) << fault.operation;
        reached = reached || step == fault.call;
    }
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 1u);

    // The port is still ours and usable.
    CSerialLink other(&m_warnings);
    EXPECT_FALSE(Open(other, 1));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, ConfigurationStepFails,
    ::testing::Values(
        StepFault{PortCall::SetTimeouts, "SetCommTimeouts()", EIO, "Input/output error"},
        StepFault{PortCall::SetMask, "SetCommMask()", EBADF, "Bad file descriptor"},
        StepFault{PortCall::GetState, "GetCommState()", ENOTTY, "Inappropriate ioctl for device"},
        StepFault{PortCall::BuildState, "BuildCommDCB()", EINVAL, "Invalid argument"},
        StepFault{PortCall::SetState, "SetCommState()", EPERM, "Operation not permitted"}));

TEST_F(OpenPortTest, SettingsThePortCannotTakeAreReportedByTheirStep) {
    CSerialLink link(&m_warnings);
    // No such speed: the settings text cannot be built.
    EXPECT_TRUE(link.OpenPort(1, 12345, 'N', 8, 1, platform::EV_RXCHAR, 512));
    // A pseudo-terminal keeps 8 bits without parity: read back, the settings differ.
    EXPECT_TRUE(link.OpenPort(2, 9600, 'E', 7, 1, platform::EV_RXCHAR, 512));
    const std::vector<std::string> texts = m_warnings.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              "WARNING:  BuildCommDCB() Failed with the following error: \n"
              "Invalid argument\nPort: 1\n");
    EXPECT_EQ(texts[1],
              "WARNING:  SetCommState() Failed with the following error: \n"
              "Invalid argument\nPort: 2\n");
}

TEST_F(OpenPortTest, FailedPurgeIsNotReported) {
    CSerialLink link(&m_warnings);
    platform::InjectPortFault(PortCall::Purge, EIO);
    EXPECT_TRUE(Open(link, 1));
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 1u);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

// Notes whether the link's lock was free while its warning was shown.
class LockProbe : public IWarningSink {
public:
    CSerialLink* link = nullptr;
    int shown = 0;
    bool lockWasFree = false;
    unsigned long purgesBefore = 0;
    void ShowWarning(const std::string&, const std::string&) override {
        ++shown;
        purgesBefore = platform::PortCallCount(PortCall::Purge);
        std::mutex& lock = Access::Lock(*link);
        lockWasFree = lock.try_lock();
        if (lockWasFree) {
            lock.unlock();
        }
    }
};

// The purge comes after the box, so that what arrived while it was open is gone too.
TEST_F(OpenPortTest, WarningIsShownWithTheLockLeftAndBeforeThePurge) {
    LockProbe probe;
    CSerialLink link(&probe);
    probe.link = &link;
    platform::InjectPortFault(PortCall::GetState, EIO);
    EXPECT_TRUE(Open(link, 1));
    EXPECT_EQ(probe.shown, 1);
    EXPECT_TRUE(probe.lockWasFree);
    EXPECT_EQ(probe.purgesBefore, 0u);
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 1u);
}

}  // namespace
