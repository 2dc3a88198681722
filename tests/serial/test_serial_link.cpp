// CSerialLink on pseudo-terminals: opening a port, its warnings, the monitor thread. Where the
// order of events would be a race, the thread is held in a warning box while the test lines
// them up; failing port steps come from the port fault seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <numeric>

#include "platform/last_error.h"
#include "platform/port_faults.h"
#include "ports/open_error.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;
using platform::PortCall;
constexpr int kGenerousMs = 10000;

bool Open(CSerialLink& link, int port, int baud = 9600, char parity = 'N', int dataBits = 8) {
    return link.OpenPort(port, baud, parity, dataBits, 1, platform::EV_RXCHAR, 512);
}

std::string Warning(const std::string& operation, const std::string& reason, int port = 1) {
    return "WARNING:  " + operation + " Failed with the following error: \n" + reason +
           "\nPort: " + std::to_string(port) + "\n";
}

// Up to `n` bytes read from `fd`, waiting generously for each.
Bytes ReadBytes(int fd, std::size_t n) {
    Bytes got;
    pollfd entry{fd, POLLIN, 0};
    std::uint8_t byte = 0;
    while (got.size() < n && poll(&entry, 1, kGenerousMs) == 1 && read(fd, &byte, 1) == 1) {
        got.push_back(byte);
    }
    return got;
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPortFaults();
        // The box's event loop may call back into the dialog: it must come with the lock left,
        // and at the open before the purge, so that what arrives while it is open is purged too.
        m_warnings.onShow = [this] {
            if (!Access::PortLockFree(m_link)) {
                m_lockHeldInBox = true;
            }
            m_purgesAtBox = platform::PortCallCount(PortCall::Purge);
        };
    }
    void TearDown() override {
        m_warnings.Release();
        Open(m_link, 0);  // joins the thread
        EXPECT_FALSE(Access::ThreadAlive(m_link));
        EXPECT_FALSE(m_lockHeldInBox);
    }

    // Writes from the camera's side and waits until all of it is waiting on the port.
    void Arrive(const Bytes& bytes) {
        ASSERT_EQ(write(m_pty1.MasterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        pollfd entry{Access::Port(m_link)->Native(), POLLIN, 0};
        int count = 0;
        ASSERT_EQ(poll(&entry, 1, kGenerousMs), 1);
        ASSERT_EQ(ioctl(entry.fd, FIONREAD, &count), 0);
        ASSERT_EQ(count, static_cast<int>(bytes.size()));
    }
    // Starts the thread and keeps it in a warning box for a failing `step` until released.
    // For a write, the purge at the thread's start is then over, so input written meanwhile
    // stays until the thread reads it.
    void StartHeldInWarning(PortCall step) {
        platform::InjectPortFault(step, EPERM);
        m_warnings.Hold();
        ASSERT_TRUE(m_link.StartMonitor());
        if (step == PortCall::Write) {
            m_link.SendHex("01");
        }
        ASSERT_TRUE(m_warnings.WaitForCount(1));
    }

    AllPortsMissing m_missing;
    PtyPair m_pty1;
    PtyPair m_pty2;
    PortMapping m_com1{1, m_pty1.DevicePath()};
    PortMapping m_com2{2, m_pty2.DevicePath()};
    WarningRecorder m_warnings;
    std::atomic<bool> m_lockHeldInBox{false};
    std::atomic<unsigned long> m_purgesAtBox{0};
    CSerialLink m_link{&m_warnings};
};

TEST_F(SerialLinkTest, PortIsRaw9600_8N1WhileHeldAndLeftAsItWasAfter) {
    // A terminal as another program left it: canonical, echoing, with software flow control.
    termios before;
    ASSERT_EQ(tcgetattr(m_pty1.MasterFd(), &before), 0);
    before.c_iflag |= IXON | IXOFF | IXANY;
    ASSERT_EQ(tcsetattr(m_pty1.MasterFd(), TCSANOW, &before), 0);
    ASSERT_EQ(chmod(m_pty1.DevicePath().c_str(), 0666), 0);
    ASSERT_TRUE(Open(m_link, 1));
    EXPECT_EQ(Access::Dcb(m_link).rtsControl, 1);

    termios tio;
    ASSERT_EQ(tcgetattr(Access::Port(m_link)->Native(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(OpenAsNobody(m_pty1.DevicePath()), EBUSY);

    // Closed (by the next open), the terminal has its own settings back and is free for all.
    EXPECT_FALSE(Open(m_link, 3));
    termios after;
    ASSERT_EQ(tcgetattr(m_pty1.MasterFd(), &after), 0);
    EXPECT_EQ(std::tie(after.c_lflag, after.c_iflag, after.c_oflag, after.c_cflag),
              std::tie(before.c_lflag, before.c_iflag, before.c_oflag, before.c_cflag));
    EXPECT_EQ(OpenAsNobody(m_pty1.DevicePath()), 0);
}

TEST_F(SerialLinkTest, HeldMissingOrNoTerminalIsRefusedSilently) {
    CSerialLink other(&m_warnings);
    ASSERT_TRUE(Open(m_link, 1));
    // Also as root, where the exclusive terminal flag alone would let a second open through.
    EXPECT_FALSE(Open(other, 1));
    EXPECT_EQ(other.OpenError(), EBUSY);
    EXPECT_EQ(ports::OpenErrorText(EBUSY, ""), "Device or resource busy (held by another program)");
    // Not allowed: the group to ask for is named, by its number when it has no name, but only
    // where that group may read and write the device.
    const char* device = m_pty1.DevicePath().c_str();
    ASSERT_EQ(chmod(device, 0620), 0);  // a terminal's own mode: its group may only write
    EXPECT_EQ(ports::OpenErrorText(EACCES, device), "Permission denied");
    ASSERT_EQ(chmod(device, 0660), 0);
    ASSERT_EQ(chown(device, static_cast<uid_t>(-1), 0), 0);
    EXPECT_EQ(ports::OpenErrorText(EACCES, device),
              "Permission denied (the user must be in the group \"root\" that owns the device)");
    ASSERT_EQ(chown(device, static_cast<uid_t>(-1), 54321), 0);
    EXPECT_EQ(ports::OpenErrorText(EACCES, device),
              "Permission denied (the user must be in the group \"54321\" that owns the device)");
    ASSERT_TRUE(Open(m_link, 2));  // moved on: its old port is free
    EXPECT_TRUE(Open(other, 1));
    // A failed open (a path that does not exist) still lets go of the port held before.
    EXPECT_FALSE(Open(other, 3));
    EXPECT_EQ(other.OpenError(), ENOENT);
    EXPECT_TRUE(Open(m_link, 1));
    // Anything but a terminal is no port.
    char file[] = "/tmp/vexlarin-not-a-port-XXXXXX";
    close(mkstemp(file));
    PortMapping com4(4, file);
    EXPECT_FALSE(Open(other, 4));
    EXPECT_EQ(other.OpenError(), ENOTTY);
    unlink(file);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(SerialLinkTest, EachFailingStepGivesOneWarningAndStillPurgesAndWarningsReadSo) {
    // The steps in order; a failed purge is never reported.
    const std::pair<PortCall, const char*> steps[] = {
        {PortCall::SetTimeouts, "SetCommTimeouts()"}, {PortCall::SetMask, "SetCommMask()"},
        {PortCall::GetState, "GetCommState()"},       {PortCall::BuildState, "BuildCommDCB()"},
        {PortCall::SetState, "SetCommState()"},       {PortCall::Purge, nullptr}};
    for (const auto& [failing, operation] : steps) {
        platform::ResetPortFaults();
        platform::InjectPortFault(failing, EIO);
        const std::size_t shown = m_warnings.Count();
        EXPECT_TRUE(Open(m_link, 1));
        EXPECT_EQ(platform::PortCallCount(PortCall::Purge), 1u);
        ASSERT_EQ(m_warnings.Count(), shown + (operation ? 1 : 0)) << static_cast<int>(failing);
        if (operation) {
            EXPECT_EQ(m_warnings.Texts().back(), Warning(operation, "Input/output error"));
            EXPECT_EQ(m_purgesAtBox, 0u);
        }
    }
    // A pseudo-terminal keeps 8 bits without parity: read back, the settings differ.
    EXPECT_TRUE(Open(m_link, 2, 9600, 'E', 7));
    EXPECT_EQ(m_warnings.Texts().back(), Warning("SetCommState()", "Invalid argument", 2));

    // Warnings name the port of the last open, even a failed one. Only a detail of more than
    // two characters takes the place of the system's text.
    ASSERT_FALSE(Open(m_link, 3));
    platform::SetLastError(ENOENT);
    m_link.ReportError("Op()", "ab");
    m_link.ReportError("Op()", "abc");
    m_link.Cancel();  // once the user has stopped, a failure still on its way is not shown
    m_link.ReportError("WaitCommEvent()", "");
    const Texts texts = m_warnings.Texts();
    EXPECT_EQ(Texts(texts.end() - 2, texts.end()),
              (Texts{Warning("Op()", "No such file or directory", 3), Warning("Op()", "abc", 3)}));
    EXPECT_EQ(m_warnings.Titles(), Texts(texts.size(), "Application Error"));
}

TEST_F(SerialLinkTest, StaleBytesPurgedAtStartWaitingBytesStoredBeforeTheCommandIsSent) {
    ASSERT_TRUE(Open(m_link, 1));
    Arrive({0xEE, 0xEE});  // left over from before the thread: never a reply
    StartHeldInWarning(PortCall::Write);
    ASSERT_TRUE(Access::PortLockFree(m_link));  // the box is up, the port free for the dialog
    Bytes stream(45);                           // more than the reply buffer holds
    std::iota(stream.begin(), stream.end(), 1);
    Arrive(stream);
    m_link.SendHex("103B04");
    m_warnings.Release();

    // All 45 read before the command goes (its purge would drop them); 40 stored and signalled.
    EXPECT_EQ(ReadBytes(m_pty1.MasterFd(), 3), (Bytes{0x10, 0x3B, 0x04}));
    EXPECT_EQ(platform::PortCallCount(PortCall::Read), 45u);
    EXPECT_EQ(Access::ReplySnapshot(m_link), Bytes(stream.begin(), stream.begin() + 40));
    std::uint64_t signals = 0;  // an eventfd counts every set
    ASSERT_EQ(read(Access::ByteEvent(m_link)->Native(), &signals, sizeof signals), 8);
    EXPECT_EQ(signals, 40u);
    Open(m_link, 0);
    EXPECT_EQ(platform::PortCallCount(PortCall::Write), 2u);  // the request was taken once
    EXPECT_EQ(m_warnings.Texts(), Texts{Warning("WriteFile()", "Operation not permitted")});
}

TEST_F(SerialLinkTest, BytesLeftUnreadAreDiscardedByTheNextCommandAndAHangUpIsReportedOnce) {
    ASSERT_TRUE(Open(m_link, 1));
    // The first port-event wait fails: that pass waits only for stop and send.
    StartHeldInWarning(PortCall::WaitEvent);
    Arrive({0xAA, 0xBB, 0xCC});
    m_link.SendHex("05807F");
    m_warnings.Release();
    EXPECT_EQ(ReadBytes(m_pty1.MasterFd(), 3), (Bytes{0x05, 0x80, 0x7F}));
    ASSERT_EQ(write(m_pty1.MasterFd(), "\x06\x80\x7F", 3), 3);
    for (std::uint64_t signals = 0, more = 0; signals < 3; signals += more) {  // all 3 taken
        ASSERT_TRUE(Access::ByteEvent(m_link)->Wait(kGenerousMs));
        ASSERT_EQ(read(Access::ByteEvent(m_link)->Native(), &more, sizeof more), 8);
    }
    EXPECT_EQ(Access::ReplySnapshot(m_link), (Bytes{0x06, 0x80, 0x7F}));

    // The camera hangs up: reported once, however often the thread passes; nothing is written.
    m_pty1.HangUp();
    ASSERT_TRUE(m_warnings.WaitForCount(2));
    m_link.SendHex("05807F");
    EXPECT_FALSE(Access::ByteEvent(m_link)->Wait(1000));
    EXPECT_TRUE(m_link.PortGone());
    Open(m_link, 0);
    const Texts texts = m_warnings.Texts();
    ASSERT_EQ(texts.size(), 2u);
    const std::string gone = "COM1 (" + m_pty1.DevicePath() + "): the device is gone";
    EXPECT_TRUE(texts[1] == Warning("ReadFile()", gone) ||
                texts[1] == Warning("WaitCommEvent()", gone))
        << texts[1];
    EXPECT_EQ(platform::PortCallCount(PortCall::Write), 1u);
    EXPECT_LT(platform::PortCallCount(PortCall::WaitEvent), 20u);
}

}  // namespace
