// SIGINT and SIGTERM as the user's request to stop a program with threads: taken from a
// signalfd by a thread of the program, never by a handler in the middle of its code. The first
// stops the work; a second ends the program at once, whatever it is waiting for.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "platform/event.h"

namespace platform {

class StopSignals {
public:
    // Blocks SIGINT and SIGTERM in the calling thread. Construct it before any other thread
    // starts: they inherit the mask, so the signals wait for TakeNext.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits for a signal and takes it: from then on SIGINT and SIGTERM end the process at once
    // with exit status 128 + signal, on this thread, which no longer blocks them. Then calls
    // `onStop` with the signal, after any warning being shown has been shown. Returns the
    // signal, or 0 once Wake was called.
    int TakeNext(const std::function<void(int)>& onStop);
    // Makes a waiting TakeNext, and every later one, return 0.
    void Wake() { m_wake.Set(); }
    // The signal taken, 0 while none was.
    int Received() const { return m_received.load(); }
    // Runs `show` (a warning) unless a stop signal is pending or has been taken, with the
    // check and `show` under one lock with the taking: no warning gets out after the user
    // asked to stop. Whether `show` ran.
    bool UnlessStopping(const std::function<void()>& show);

private:
    sigset_t m_signals{};
    int m_fd = -1;  // signalfd
    Event m_wake;
    std::mutex m_lock;
    std::atomic<bool> m_stopping{false};  // set before a signal is taken off the pending set
    std::atomic<int> m_received{0};
};

}  // namespace platform
