// The POSIX port layer on pseudo-terminals: exclusive open, line settings, purge, the fault
// seam, the events and the texts for error codes.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>

#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/port_faults.h"
#include "platform/port_map.h"
#include "platform/serial_port.h"
#include "support/pty_pair.h"

namespace {

using platform::PortCall;
using platform::SerialPort;

// Waits (generously) until fd has something to read.
bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 10000) == 1 && (p.revents & POLLIN);
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ResetPortFaults(); }
    void TearDown() override { platform::ResetPortFaults(); }

    AllPortsMissing m_missing;
    PtyPair m_pty;
};

TEST_F(SerialPortTest, OpenIsExclusiveUntilTheHolderCloses) {
    int error = -1;
    auto first = SerialPort::Open(m_pty.DevicePath(), error);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(error, 0);

    // Also as root, where the exclusive terminal flag alone lets a second open through.
    auto second = SerialPort::Open(m_pty.DevicePath(), error);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(error, EBUSY);
    EXPECT_EQ(platform::GetLastError(), EBUSY);

    first.reset();
    auto third = SerialPort::Open(m_pty.DevicePath(), error);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(error, 0);
}

TEST_F(SerialPortTest, OpenOfAMissingDeviceGivesItsReason) {
    int error = 0;
    EXPECT_EQ(SerialPort::Open("/nonexistent/vexlarin-port", error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(platform::GetLastError(), ENOENT);
    EXPECT_EQ(SerialPort::Open("", error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

TEST_F(SerialPortTest, SettingsTextsBuildTheirLineSettings) {
    platform::PortState state;
    ASSERT_TRUE(platform::BuildPortState("baud=9600 parity=N data=8 stop=1", state));
    EXPECT_EQ(cfgetospeed(&state.tio), B9600);
    EXPECT_EQ(cfgetispeed(&state.tio), B9600);
    EXPECT_EQ(state.tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(state.tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(state.tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(state.tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(state.tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(state.tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(state.tio.c_cc[VMIN], 1);
    EXPECT_EQ(state.tio.c_cc[VTIME], 0);

    ASSERT_TRUE(platform::BuildPortState("baud=19200 parity=E data=7 stop=2", state));
    EXPECT_EQ(cfgetospeed(&state.tio), B19200);
    EXPECT_EQ(state.tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(state.tio.c_cflag & (PARENB | PARODD | CSTOPB),
              static_cast<tcflag_t>(PARENB | CSTOPB));

    ASSERT_TRUE(platform::BuildPortState("baud=1200 parity=O data=5 stop=1", state));
    EXPECT_EQ(state.tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    EXPECT_EQ(state.tio.c_cflag & (PARENB | PARODD | CSTOPB),
              static_cast<tcflag_t>(PARENB | PARODD));

    for (const char* bad : {"baud=9601 parity=N data=8 stop=1", "baud=9600 parity=X data=8 stop=1",
                            "baud=9600 parity=N data=9 stop=1", "baud=9600 parity=N data=4 stop=1",
                            "baud=9600 parity=N data=8 stop=3", "9600,N,8,1", ""}) {
        platform::SetLastError(0);
        EXPECT_FALSE(platform::BuildPortState(bad, state)) << bad;
        EXPECT_EQ(platform::GetLastError(), EINVAL) << bad;
    }
}

TEST_F(SerialPortTest, AppliedSettingsAreReadBackAndCompared) {
    int error = 0;
    auto port = SerialPort::Open(m_pty.DevicePath(), error);
    ASSERT_NE(port, nullptr);

    platform::PortState state;
    ASSERT_TRUE(port->GetState(state));
    // A pseudo-terminal has no modem lines, so RTS cannot be up.
    EXPECT_EQ(state.rtsControl, platform::RTS_CONTROL_DISABLE);
    state.rtsControl = platform::RTS_CONTROL_ENABLE;
    ASSERT_TRUE(platform::BuildPortState("baud=9600 parity=N data=8 stop=1", state));
    EXPECT_TRUE(port->SetState(state));

    termios now;
    ASSERT_EQ(tcgetattr(port->Fd(), &now), 0);
    EXPECT_EQ(cfgetospeed(&now), B9600);
    EXPECT_EQ(now.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL),
              static_cast<tcflag_t>(CS8 | CLOCAL));

    // A pseudo-terminal always keeps 8 bits without parity: the change is refused on read-back.
    ASSERT_TRUE(platform::BuildPortState("baud=9600 parity=E data=7 stop=1", state));
    platform::SetLastError(0);
    EXPECT_FALSE(port->SetState(state));
    EXPECT_EQ(platform::GetLastError(), EINVAL);
}

TEST_F(SerialPortTest, PurgeEmptiesTheInputQueue) {
    int error = 0;
    auto port = SerialPort::Open(m_pty.DevicePath(), error);
    ASSERT_NE(port, nullptr);
    platform::PortState state;
    ASSERT_TRUE(port->GetState(state));
    ASSERT_TRUE(platform::BuildPortState("baud=9600 parity=N data=8 stop=1", state));
    ASSERT_TRUE(port->SetState(state));

    const std::uint8_t bytes[] = {0x01, 0x02, 0x03};
    ASSERT_EQ(write(m_pty.MasterFd(), bytes, sizeof bytes), 3);
    ASSERT_TRUE(Readable(port->Fd()));
    int count = 0;
    ASSERT_TRUE(port->InputCount(count));
    EXPECT_GT(count, 0);

    EXPECT_TRUE(port->Purge());
    ASSERT_TRUE(port->InputCount(count));
    EXPECT_EQ(count, 0);
    std::uint8_t byte;
    EXPECT_EQ(port->Read(&byte, 1), -1);
    EXPECT_EQ(platform::GetLastError(), EAGAIN);
}

TEST_F(SerialPortTest, ConfigurationOnSomethingNotATerminalFails) {
    // A pipe stands in for a device that is no terminal.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string path = "/proc/self/fd/" + std::to_string(fds[0]);
    int error = 0;
    auto port = SerialPort::Open(path, error);
    ASSERT_NE(port, nullptr) << "error " << error;
    platform::PortTimeouts timeouts;
    EXPECT_FALSE(port->SetTimeouts(timeouts));
    EXPECT_EQ(platform::GetLastError(), ENOTTY);
    platform::PortState state;
    EXPECT_FALSE(port->GetState(state));
    EXPECT_EQ(platform::GetLastError(), ENOTTY);
    port.reset();
    close(fds[0]);
    close(fds[1]);
}

TEST_F(SerialPortTest, FaultSeamLetsSkipCallsPassThenFailsTimesCalls) {
    int error = 0;
    auto port = SerialPort::Open(m_pty.DevicePath(), error);
    ASSERT_NE(port, nullptr);

    platform::InjectPortFault(PortCall::Purge, EIO, 1, 2);
    EXPECT_TRUE(port->Purge());
    errno = 0;
    EXPECT_FALSE(port->Purge());
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(platform::GetLastError(), EIO);
    platform::SetLastError(0);
    EXPECT_FALSE(port->Purge());
    EXPECT_EQ(platform::GetLastError(), EIO);
    EXPECT_TRUE(port->Purge());
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 4u);
    // Other steps are neither armed nor counted by it.
    EXPECT_EQ(platform::PortCallCount(PortCall::SetState), 0u);

    platform::InjectPortFault(PortCall::Open, EACCES);
    EXPECT_EQ(SerialPort::Open(m_pty.DevicePath(), error), nullptr);
    EXPECT_EQ(error, EACCES);

    platform::InjectPortFault(PortCall::SetMask, ENXIO);
    platform::ResetPortFaults();
    EXPECT_TRUE(port->SetMask(platform::EV_RXCHAR));
    EXPECT_EQ(platform::PortCallCount(PortCall::SetMask), 1u);
    EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 0u);
}

TEST(LastError, IsKeptPerThread) {
    platform::SetLastError(ENOENT);
    int seen = -1;
    std::thread other([&seen] {
        seen = platform::GetLastError();
        platform::SetLastError(EIO);
    });
    other.join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(platform::GetLastError(), ENOENT);
}

TEST(SystemErrorText, GivesTheSystemsTextOrSaysItHasNone) {
    EXPECT_EQ(platform::SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(platform::SystemErrorText(EBUSY), "Device or resource busy");
    const std::string unknown = platform::SystemErrorText(98765);
    EXPECT_NE(unknown.find("Unknown error"), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("98765"), std::string::npos) << unknown;
}

TEST(PortDevicePath, MapsCom1To4ThroughTheEnvironmentOrToTheirTtyS) {
    AllPortsMissing missing;
    PortMapping com3(3, "/some/where/ttyUSB0");
    PortMapping com4(4, "");
    EXPECT_EQ(platform::PortDevicePath("COM3"), "/some/where/ttyUSB0");
    EXPECT_EQ(platform::PortDevicePath("COM1"), "/nonexistent/vexlarin-com1");
    // An empty variable counts as none. The path is only composed here, never opened.
    EXPECT_EQ(platform::PortDevicePath("COM4"), "/dev/ttyS3");
    for (const char* none : {"COM0", "COM5", "COM12", "COM", "com1", "LPT1", ""}) {
        EXPECT_EQ(platform::PortDevicePath(none), "") << none;
    }
}

TEST(Event, StartsClearAndWaitAnyServesTheLowestSetIndex) {
    platform::Event a;
    platform::Event b;
    platform::Event c;
    EXPECT_FALSE(a.IsSet());
    EXPECT_EQ(platform::WaitAny({&a, &b, &c}, 0), platform::kWaitTimeout);

    c.Set();
    b.Set();
    b.Set();  // setting twice is still one signalled state
    EXPECT_EQ(platform::WaitAny({&a, nullptr, &b, &c}, -1), 2);
    b.Reset();
    EXPECT_FALSE(b.IsSet());
    EXPECT_EQ(platform::WaitAny({&a, &b, &c}, -1), 2);
    // Manual reset: waiting does not clear.
    EXPECT_TRUE(c.Wait(0));
    EXPECT_TRUE(c.IsSet());

    std::thread setter([&a] { a.Set(); });
    EXPECT_TRUE(a.Wait(-1));
    setter.join();
}

}  // namespace
