// Manual-reset events that threads set and wait on, alone or several at once (and, inside this
// layer, together with a port).
#pragma once

#include <initializer_list>

#include "platform/native_handle.h"

namespace platform {

class Event {
public:
    Event();  // not signalled; aborts if the system has no event left to give
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event is (or becomes) set within timeoutMs; -1 waits without limit.
    bool Wait(int timeoutMs) const;
    NativeHandle Native() const { return m_handle; }

private:
    NativeHandle m_handle;
};

// Result of WaitAny when the time ran out or the wait failed.
constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;

// Waits until one of the events is set and returns the lowest index among the set ones.
// A null entry is never signalled. timeoutMs -1 waits without limit.
int WaitAny(std::initializer_list<const Event*> events, int timeoutMs);

}  // namespace platform
