// The monitor thread on pseudo-terminal pairs: what it serves first, what it stores and
// signals, and how it fails. Where the order of events would be a race, the thread is held in a
// warning box (a fault injected into one port step) while the test lines the events up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <set>

#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;
using platform::PortCall;
constexpr int kGenerousMs = 10000;

std::string Warning(const std::string& operation, const std::string& reason) {
    return "WARNING:  " + operation + " Failed with the following error: \n" + reason +
           "\nPort: 1\n";
}

std::set<pid_t> ThreadIds() {
    std::set<pid_t> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(std::stoi(entry.path().filename().string()));
    }
    return ids;
}

class MonitorThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reopen();
        ASSERT_TRUE(m_link.IsPortOpen());
        platform::ResetPortFaults();
        m_sink.onShow = [this] {
            if (!Access::PortLockFree(m_link)) {
                m_lockHeldInBox = true;
            }
        };
    }
    void TearDown() override {
        m_sink.Release();
        Reopen();  // joins the thread
        EXPECT_FALSE(Access::ThreadAlive(m_link));
        EXPECT_FALSE(m_lockHeldInBox);
        platform::ResetPortFaults();
    }

    void Reopen() { m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512); }

    // Writes from the camera's side; with the thread held, waits until all of it is there.
    void Arrive(const Bytes& bytes, bool held = true) {
        ASSERT_EQ(write(m_pty.MasterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        pollfd entry{Access::Port(m_link)->Fd(), POLLIN, 0};
        int count = 0;
        if (held) {
            ASSERT_EQ(poll(&entry, 1, kGenerousMs), 1);
            ASSERT_EQ(ioctl(entry.fd, FIONREAD, &count), 0);
            ASSERT_EQ(count, static_cast<int>(bytes.size()));
        }
    }
    // What the thread wrote, up to `n` bytes.
    Bytes Written(std::size_t n) {
        Bytes got(n);
        pollfd entry{m_pty.MasterFd(), POLLIN, 0};
        std::size_t have = 0;
        while (have < n && poll(&entry, 1, kGenerousMs) == 1) {
            const ssize_t length = read(entry.fd, got.data() + have, n - have);
            if (length <= 0) {
                break;
            }
            have += static_cast<std::size_t>(length);
        }
        got.resize(have);
        return got;
    }
    // Waits for byte signals until `n` bytes are counted.
    bool WaitForReplyCount(std::int32_t n) {
        while (Access::ReplyCount(m_link) < n) {
            if (!Access::ByteEvent(m_link)->Wait(kGenerousMs)) {
                return false;
            }
            Access::ByteEvent(m_link)->Reset();
        }
        return true;
    }
    // How often the byte event was set since its last reset (an eventfd counts every set).
    std::uint64_t ByteSignals() {
        std::uint64_t count = 0;
        return read(Access::ByteEvent(m_link)->Fd(), &count, sizeof count) == sizeof count ? count
                                                                                           : 0;
    }
    // Starts the thread and keeps it in a warning box for a failing `step` until released.
    // For a write, the purge at the thread's start is then over, so input written meanwhile
    // stays until the thread reads it.
    void StartHeldInWarning(PortCall step) {
        platform::InjectPortFault(step, EPERM);
        m_sink.Hold();
        ASSERT_TRUE(m_link.StartMonitor());
        if (step == PortCall::Write) {
            m_link.SendHex("01");
        }
        ASSERT_TRUE(m_sink.WaitForCount(1));
    }

    AllPortsMissing m_missing;
    PtyPair m_pty;
    PortMapping m_com1{1, m_pty.DevicePath()};
    WarningRecorder m_sink;
    std::atomic<bool> m_lockHeldInBox{false};
    CSerialLink m_link{&m_sink};
};

TEST_F(MonitorThreadTest, StopWinsOverPortEventAndSendRequest) {
    StartHeldInWarning(PortCall::Write);
    Arrive({0x06, 0x80, 0x7F});
    m_link.SendHex("05807F");
    Access::StopEvent(m_link)->Set();
    m_sink.Release();
    Reopen();

    EXPECT_EQ(platform::PortCallCount(PortCall::Read), 0u);
    EXPECT_EQ(platform::PortCallCount(PortCall::Write), 1u);  // the held one only
    EXPECT_EQ(Access::ReplyCount(m_link), 0);
}

TEST_F(MonitorThreadTest, WaitingBytesAreStoredOneByOneBeforeTheCommandIsWritten) {
    Access::StoreReplyByte(m_link, 0x55);  // a byte already counted: the new ones go after it
    StartHeldInWarning(PortCall::Write);
    Arrive({0x06, 0x80, 0x7F});
    m_link.SendHex("103B04");
    m_sink.Release();

    // Had the command gone first, its purge would have thrown the three bytes away.
    EXPECT_EQ(Written(3), (Bytes{0x10, 0x3B, 0x04}));
    EXPECT_EQ(Access::ReplySnapshot(m_link), (Bytes{0x55, 0x06, 0x80, 0x7F}));
    EXPECT_EQ(ByteSignals(), 4u);
    EXPECT_EQ(platform::PortCallCount(PortCall::Read), 3u);
    Reopen();
    EXPECT_EQ(m_sink.Count(), 1u);
}

TEST_F(MonitorThreadTest, BytesLeftUnreadAreDiscardedByTheNextTransmit) {
    // The first port-event wait fails: that pass waits only for stop and send.
    StartHeldInWarning(PortCall::WaitEvent);
    Arrive({0xAA, 0xBB, 0xCC});
    m_link.SendHex("05807F");
    m_sink.Release();

    EXPECT_EQ(Written(3), (Bytes{0x05, 0x80, 0x7F}));
    Arrive({0x06, 0x80, 0x7F}, false);
    ASSERT_TRUE(WaitForReplyCount(3));
    EXPECT_EQ(Access::ReplySnapshot(m_link), (Bytes{0x06, 0x80, 0x7F}));
    Reopen();
    EXPECT_EQ(m_sink.Texts(), Texts{Warning("WaitCommEvent()", "Operation not permitted")});
}

TEST_F(MonitorThreadTest, FailedWriteIsReportedOnceWithTheLockFree) {
    platform::InjectPortFault(PortCall::Write, ENOSPC);
    ASSERT_TRUE(m_link.StartMonitor());
    m_link.SendHex("05807F");
    ASSERT_TRUE(m_sink.WaitForCount(1));

    // The thread goes on normally: the next reply is read and the next command written.
    Arrive({0x06}, false);
    ASSERT_TRUE(WaitForReplyCount(1));
    m_link.SendHex("103B04");
    EXPECT_EQ(Written(3), (Bytes{0x10, 0x3B, 0x04}));
    Reopen();
    EXPECT_EQ(m_sink.Texts(), Texts{Warning("WriteFile()", "No space left on device")});
}

TEST_F(MonitorThreadTest, HangUpIsReportedOnceAndDoesNotSpin) {
    ASSERT_TRUE(m_link.StartMonitor());
    m_pty.HangUp();
    ASSERT_TRUE(m_sink.WaitForCount(1));

    // Two exchanges as a listing would try them: nothing is written, no reply comes, and the
    // waits run out their time-out while the thread sits idle.
    for (const char* command : {"05807F", "103B04"}) {
        Access::ClearReply(m_link);
        m_link.SendHex(command);
        EXPECT_FALSE(Access::ByteEvent(m_link)->Wait(1000));
    }
    Reopen();

    const Texts texts = m_sink.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0] == Warning("ReadFile()", "Input/output error") ||
                texts[0] == Warning("WaitCommEvent()", "Input/output error"))
        << texts[0];
    EXPECT_EQ(platform::PortCallCount(PortCall::Write), 0u);
    const unsigned long waits = platform::PortCallCount(PortCall::WaitEvent);
    RecordProperty("waits", static_cast<int>(waits));
    EXPECT_LT(waits, 20u);
}

TEST_F(MonitorThreadTest, StreamBeyondTheBufferStoresAndSignalsFortyBytes) {
    StartHeldInWarning(PortCall::Write);
    Bytes stream;
    for (int i = 1; i <= 45; ++i) {
        stream.push_back(static_cast<std::uint8_t>(i));
    }
    Arrive(stream);
    m_link.SendHex("05807F");
    m_sink.Release();

    EXPECT_EQ(Written(3), (Bytes{0x05, 0x80, 0x7F}));  // all 45 were read before this
    EXPECT_EQ(platform::PortCallCount(PortCall::Read), 45u);
    EXPECT_EQ(Access::ReplySnapshot(m_link), Bytes(stream.begin(), stream.begin() + 40));
    EXPECT_EQ(ByteSignals(), 40u);
}

TEST_F(MonitorThreadTest, WithoutAPortEachPassAndEachCommandIsReported) {
    PortMapping missing{1, "/nonexistent/vexlarin-com1"};
    ASSERT_FALSE(m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    ASSERT_TRUE(m_link.StartMonitor());
    ASSERT_TRUE(m_sink.WaitForCount(1));
    m_link.SendHex("05807F");
    ASSERT_TRUE(m_sink.WaitForCount(3));
    Reopen();

    const std::string waitFailed = Warning("WaitCommEvent()", "Bad file descriptor");
    EXPECT_EQ(m_sink.Texts(),
              (Texts{waitFailed, Warning("WriteFile()", "Bad file descriptor"), waitFailed}));
}

TEST_F(MonitorThreadTest, OpenPortAndTheDestructorEndTheThread) {
    m_link.OpenPort(0, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);  // lets go of COM1
    const std::set<pid_t> before = ThreadIds();
    auto link = std::make_unique<CSerialLink>(&m_sink);
    ASSERT_FALSE(link->StartMonitor());  // never opened: nothing to serve
    ASSERT_TRUE(link->OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));

    // Started and at once ended, maybe before it ran at all.
    ASSERT_TRUE(link->StartMonitor());
    ASSERT_TRUE(link->OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    EXPECT_FALSE(Access::ThreadAlive(*link));

    ASSERT_TRUE(link->StartMonitor());
    ASSERT_TRUE(link->StartMonitor());  // a second start keeps the one thread
    std::set<pid_t> running = ThreadIds();
    ASSERT_EQ(running.size(), before.size() + 1);
    pid_t monitor = 0;
    for (pid_t id : running) {
        monitor = before.count(id) ? monitor : id;
    }
    // A descriptor for the thread itself becomes readable once it has exited, where the
    // kernel offers one; /proc may list a joined thread a moment longer.
    const int exitFd = static_cast<int>(syscall(SYS_pidfd_open, monitor, O_EXCL));
    link.reset();
    if (exitFd >= 0) {
        pollfd entry{exitFd, POLLIN, 0};
        EXPECT_EQ(poll(&entry, 1, kGenerousMs), 1);
        close(exitFd);
    }
    EXPECT_EQ(ThreadIds(), before);
}

}  // namespace
