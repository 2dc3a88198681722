// The monitor thread on pseudo-terminal pairs: what it serves first, what it stores and
// signals, and how it fails. Where the order of events would be a race, the thread is held in a
// warning box (a fault injected into one port step) while the test lines the events up.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <set>

#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;
constexpr int kGenerousMs = 10000;

// Records warnings, lets the test wait for them, and can keep the raising thread inside the
// box until released, as a user who has not yet pressed OK.
class GateSink : public IWarningSink {
public:
    void ShowWarning(const std::string&, const std::string& text) override {
        std::unique_lock<std::mutex> guard(m_lock);
        m_texts.push_back(text);
        m_lockFree.push_back(m_link == nullptr || Access::PortLockFree(*m_link));
        m_changed.notify_all();
        m_changed.wait(guard, [this] { return !m_holding; });
    }
    void Watch(CSerialLink* link) { m_link = link; }
    void Hold() { Set(m_holding, true); }
    void Release() { Set(m_holding, false); }
    bool WaitForCount(std::size_t n) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(kGenerousMs),
                                  [&] { return m_texts.size() >= n; });
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_texts;
    }
    bool AllShownWithLockFree() {
        std::lock_guard<std::mutex> guard(m_lock);
        return std::find(m_lockFree.begin(), m_lockFree.end(), false) == m_lockFree.end();
    }

private:
    void Set(bool& flag, bool value) {
        std::lock_guard<std::mutex> guard(m_lock);
        flag = value;
        m_changed.notify_all();
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_texts;
    std::vector<bool> m_lockFree;
    CSerialLink* m_link = nullptr;
    bool m_holding = false;
};

std::string Warning(const std::string& operation, const std::string& reason) {
    return "WARNING:  " + operation + " Failed with the following error: \n" + reason +
           "\nPort: 1\n";
}

std::set<pid_t> ThreadIds() {
    std::set<pid_t> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ids.insert(std::atoi(entry->d_name));
            }
        }
        closedir(dir);
    }
    return ids;
}

class MonitorThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPortFaults();
        m_sink.Watch(&m_link);
    }
    void TearDown() override {
        m_sink.Release();
        platform::ResetPortFaults();
    }

    void Open() { ASSERT_TRUE(m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512)); }
    void Reopen() { m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512); }

    void WriteMaster(const Bytes& bytes) {
        ASSERT_EQ(write(m_pty.MasterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Waits until the link's side of the pair holds unread input, and returns how much.
    int PortInput() {
        pollfd entry{Access::Port(m_link)->Fd(), POLLIN, 0};
        EXPECT_EQ(poll(&entry, 1, kGenerousMs), 1);
        int count = 0;
        EXPECT_EQ(ioctl(entry.fd, FIONREAD, &count), 0);
        return count;
    }
    Bytes ReadMaster(std::size_t n) {
        Bytes got;
        pollfd entry{m_pty.MasterFd(), POLLIN, 0};
        while (got.size() < n && poll(&entry, 1, kGenerousMs) == 1) {
            std::uint8_t buffer[64];
            const ssize_t length = read(entry.fd, buffer, std::min(sizeof buffer, n - got.size()));
            if (length <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + length);
        }
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
    // Starts the thread and keeps it in a "WriteFile()" box until released; the purge at the
    // thread's start is then over, so input written meanwhile stays until the thread reads it.
    void StartHeldInWriteWarning() {
        platform::InjectPortFault(platform::PortCall::Write, EPERM);
        m_sink.Hold();
        ASSERT_TRUE(m_link.StartMonitor());
        m_link.SendHex("01");
        ASSERT_TRUE(m_sink.WaitForCount(1));
    }

    AllPortsMissing m_missing;
    PtyPair m_pty;
    PortMapping m_com1{1, m_pty.DevicePath()};
    GateSink m_sink;
    CSerialLink m_link{&m_sink};
};

TEST_F(MonitorThreadTest, StopWinsOverPortEventAndSendRequest) {
    Open();
    StartHeldInWriteWarning();
    WriteMaster({0x06, 0x80, 0x7F});
    ASSERT_EQ(PortInput(), 3);
    m_link.SendHex("05807F");
    Access::StopEvent(m_link)->Set();
    m_sink.Release();
    Reopen();  // joins the thread

    EXPECT_FALSE(Access::ThreadAlive(m_link));
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Read), 0u);
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Write), 1u);  // the held one only
    EXPECT_EQ(Access::ReplyCount(m_link), 0);
}

TEST_F(MonitorThreadTest, WaitingBytesAreReadOneByOneBeforeTheCommandIsWritten) {
    Open();
    Access::StoreReplyByte(m_link, 0x55);  // a byte already counted: the new ones go after it
    StartHeldInWriteWarning();
    WriteMaster({0x06, 0x80, 0x7F});
    ASSERT_EQ(PortInput(), 3);
    m_link.SendHex("103B04");
    m_sink.Release();

    // Had the command gone first, its purge would have thrown the three bytes away.
    EXPECT_EQ(ReadMaster(3), (Bytes{0x10, 0x3B, 0x04}));
    EXPECT_EQ(Access::ReplySnapshot(m_link), (Bytes{0x55, 0x06, 0x80, 0x7F}));
    EXPECT_EQ(ByteSignals(), 4u);
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Read), 3u);
    Reopen();
    EXPECT_EQ(m_sink.Texts().size(), 1u);
}

TEST_F(MonitorThreadTest, BytesLeftUnreadAreDiscardedByTheNextTransmit) {
    Open();
    // The first port-event wait fails: that pass waits only for stop and send.
    platform::InjectPortFault(platform::PortCall::WaitEvent, EPERM);
    m_sink.Hold();
    ASSERT_TRUE(m_link.StartMonitor());
    ASSERT_TRUE(m_sink.WaitForCount(1));
    WriteMaster({0xAA, 0xBB, 0xCC});
    ASSERT_EQ(PortInput(), 3);
    m_link.SendHex("05807F");
    m_sink.Release();

    EXPECT_EQ(ReadMaster(3), (Bytes{0x05, 0x80, 0x7F}));
    WriteMaster({0x06, 0x80, 0x7F});
    ASSERT_TRUE(WaitForReplyCount(3));
    EXPECT_EQ(Access::ReplySnapshot(m_link), (Bytes{0x06, 0x80, 0x7F}));
    Reopen();
    EXPECT_EQ(m_sink.Texts(),
              (std::vector<std::string>{Warning("WaitCommEvent()", "Operation not permitted")}));
}

TEST_F(MonitorThreadTest, FailedWriteIsReportedOnceWithTheLockFree) {
    Open();
    platform::InjectPortFault(platform::PortCall::Write, ENOSPC);
    ASSERT_TRUE(m_link.StartMonitor());
    m_link.SendHex("05807F");
    ASSERT_TRUE(m_sink.WaitForCount(1));

    // The thread goes on normally: the next reply is read and the next command written.
    WriteMaster({0x06});
    ASSERT_TRUE(WaitForReplyCount(1));
    m_link.SendHex("103B04");
    EXPECT_EQ(ReadMaster(3), (Bytes{0x10, 0x3B, 0x04}));
    Reopen();
    EXPECT_EQ(m_sink.Texts(),
              (std::vector<std::string>{Warning("WriteFile()", "No space left on device")}));
    EXPECT_TRUE(m_sink.AllShownWithLockFree());
}

TEST_F(MonitorThreadTest, HangUpIsReportedOnceAndDoesNotSpin) {
    Open();
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

    const std::vector<std::string> texts = m_sink.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0] == Warning("ReadFile()", "Input/output error") ||
                texts[0] == Warning("WaitCommEvent()", "Input/output error"))
        << texts[0];
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Write), 0u);
    const unsigned long waits = platform::PortCallCount(platform::PortCall::WaitEvent);
    RecordProperty("waits", static_cast<int>(waits));
    EXPECT_LT(waits, 20u);
}

TEST_F(MonitorThreadTest, StreamBeyondTheBufferStoresAndSignalsFortyBytes) {
    Open();
    StartHeldInWriteWarning();
    Bytes stream;
    for (int i = 1; i <= 45; ++i) {
        stream.push_back(static_cast<std::uint8_t>(i));
    }
    WriteMaster(stream);
    ASSERT_EQ(PortInput(), 45);
    m_link.SendHex("05807F");
    m_sink.Release();

    EXPECT_EQ(ReadMaster(3), (Bytes{0x05, 0x80, 0x7F}));  // all 45 were read before this
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Read), 45u);
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

    EXPECT_FALSE(Access::ThreadAlive(m_link));
    const std::string waitFailed = Warning("WaitCommEvent()", "Bad file descriptor");
    EXPECT_EQ(m_sink.Texts(),
              (std::vector<std::string>{waitFailed, Warning("WriteFile()", "Bad file descriptor"),
                                        waitFailed}));
}

TEST_F(MonitorThreadTest, OpenPortAndTheDestructorEndTheThread) {
    const std::set<pid_t> before = ThreadIds();
    auto link = std::make_unique<CSerialLink>(&m_sink);
    ASSERT_FALSE(link->StartMonitor());  // never opened: nothing to serve
    ASSERT_TRUE(link->OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));

    // Started and at once ended, maybe before it ran at all.
    ASSERT_TRUE(link->StartMonitor());
    ASSERT_TRUE(link->OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    EXPECT_FALSE(Access::ThreadAlive(*link));
    EXPECT_EQ(ThreadIds(), before);

    ASSERT_TRUE(link->StartMonitor());
    ASSERT_TRUE(link->StartMonitor());  // a second start keeps the one thread
    std::set<pid_t> running = ThreadIds();
    ASSERT_EQ(running.size(), before.size() + 1);
    pid_t monitor = 0;
    for (pid_t id : running) {
        if (!before.count(id)) {
            monitor = id;
        }
    }
    // A descriptor for the thread itself becomes readable when it has exited.
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
