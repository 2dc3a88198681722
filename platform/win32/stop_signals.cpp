// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and closing, taken by a handler that
// the system runs on a thread of its own and handed to TakeNext through an event. They carry the
// numbers a POSIX shell knows: Ctrl+C is SIGINT (2, exit status 130), the console closing SIGHUP
// (1, 129), Ctrl+Break the C library's SIGBREAK (21, 149).
#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/event.h"

namespace platform {

namespace {

constexpr int kHangup = 1;
constexpr int kInterrupt = 2;
constexpr int kBreak = 21;

}  // namespace

struct StopSignals::Impl {
    Event ready;  // set while a signal waits to be taken
    Event wake;
    std::mutex lock;
    std::atomic<bool> stopping{false};  // set as the first signal comes
    std::atomic<int> pending{0};
    std::atomic<int> received{0};
};

namespace {

// The one StopSignals in the process, for the handler.
std::mutex g_activeLock;
StopSignals::Impl* g_active = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD type) {
    int signal = 0;
    switch (type) {
        case CTRL_C_EVENT:
            signal = kInterrupt;
            break;
        case CTRL_BREAK_EVENT:
            signal = kBreak;
            break;
        case CTRL_CLOSE_EVENT:
            signal = kHangup;
            break;
        default:
            return FALSE;  // logoff and shutdown reach services only
    }
    {
        std::lock_guard<std::mutex> guard(g_activeLock);
        if (!g_active) {
            return FALSE;
        }
        if (g_active->stopping.exchange(true)) {
            // The second must not wait for anything: not for the work to notice the first, nor
            // for a warning stuck on a full pipe.
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(128 + signal));
        }
        g_active->pending.store(signal);
        g_active->ready.Set();
    }
    if (type == CTRL_CLOSE_EVENT) {
        // Returning would let the system end the process before the work has stopped; it ends
        // it when main() returns (or after its own few seconds).
        Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

StopSignals::StopSignals() : m_impl(std::make_unique<Impl>()) {
    std::lock_guard<std::mutex> guard(g_activeLock);
    g_active = m_impl.get();
    // Ctrl+C may have been switched off for a process started in a new process group.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    std::lock_guard<std::mutex> guard(g_activeLock);
    g_active = nullptr;
}

int StopSignals::TakeNext(const std::function<void(int)>& onStop) {
    // Wake first, as a program that ends takes no signal any more.
    if (WaitAny({&m_impl->wake, &m_impl->ready}, -1) != 1) {
        return 0;
    }
    m_impl->ready.Reset();  // taken: the next TakeNext waits for Wake (a second signal ends all)
    const int signal = m_impl->pending.load();
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->received.store(signal);
    onStop(signal);
    return signal;
}

void StopSignals::Wake() {
    m_impl->wake.Set();
}

int StopSignals::Received() const {
    return m_impl->received.load();
}

bool StopSignals::UnlessStopping(const std::function<void()>& show) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    if (m_impl->stopping.load()) {
        return false;
    }
    show();
    return true;
}

NativeHandle StopSignals::Native() const {
    return m_impl->ready.Native();
}

std::string StopSignals::Name(int signal) {
    switch (signal) {
        case kInterrupt:
            return "Interrupt";
        case kBreak:
            return "Break";
        case kHangup:
            return "Console closed";
        default:
            return "Signal " + std::to_string(signal);
    }
}

}  // namespace platform
