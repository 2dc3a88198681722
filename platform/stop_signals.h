// The user's request to stop a program with threads (SIGINT, SIGTERM and SIGHUP on POSIX; Ctrl+C,
// Ctrl+Break and the console closing on Windows), taken by a thread of the program, never by a
// handler in the middle of its code. The first stops the work; a second ends the program at
// once, whatever it is waiting for, with exit status 128 + its number.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/native_handle.h"

namespace platform {

class StopSignals {
public:
    // Holds the signals back in the calling thread. Construct it before any other thread
    // starts: they inherit that, so the signals wait for TakeNext.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits for a signal and takes it: from then on the next one ends the process at once. Then
    // calls `onStop` with the signal, after any warning being shown has been shown. Returns the
    // signal, or 0 once Wake was called.
    int TakeNext(const std::function<void(int)>& onStop);
    // Makes a waiting TakeNext, and every later one, return 0.
    void Wake();
    // The signal taken, 0 while none was.
    int Received() const;
    // Runs `show` (a warning) unless a stop signal is pending or has been taken, with the
    // check and `show` under one lock with the taking: no warning gets out after the user
    // asked to stop. Whether `show` ran.
    bool UnlessStopping(const std::function<void()>& show);
    // Ready (readable) while a signal waits to be taken, for a program that waits on it beside
    // other things of its own.
    NativeHandle Native() const;

    // "Interrupt", "Terminated", "Hangup": a signal's name for a message.
    static std::string Name(int signal);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
