// Manual-reset events on eventfd descriptors, so that they can be polled together with a
// port's descriptor in one poll().
#pragma once

#include <initializer_list>

namespace platform {

class Event {
public:
    Event();  // not signalled; aborts if the system has no descriptor left
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event is (or becomes) set within timeoutMs; -1 waits without limit.
    bool Wait(int timeoutMs) const;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// Result of WaitAny when the time ran out or poll() failed.
constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;

// Waits until one of the events is set and returns the lowest index among the set ones.
// A null entry is never signalled. timeoutMs -1 waits without limit.
int WaitAny(std::initializer_list<const Event*> events, int timeoutMs);

}  // namespace platform
