// Events on eventfd descriptors, so that they can be polled together with a port in one poll().
#include "platform/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/poll_retrying.h"

namespace platform {

Event::Event() : m_handle(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (m_handle < 0) {
        // Without descriptors nothing of the link can work; better to stop at once.
        std::fprintf(stderr, "eventfd() failed: %s\n", std::strerror(errno));
        std::abort();
    }
}

Event::~Event() {
    close(m_handle);
}

void Event::Set() {
    const std::uint64_t one = 1;
    // The counter only grows; a full counter (EAGAIN) is still signalled.
    while (write(m_handle, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::Reset() {
    std::uint64_t value;
    while (read(m_handle, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool Event::IsSet() const {
    return Wait(0);
}

bool Event::Wait(int timeoutMs) const {
    return WaitAny({this}, timeoutMs) == 0;
}

int WaitAny(std::initializer_list<const Event*> events, int timeoutMs) {
    std::vector<pollfd> fds;
    for (const Event* event : events) {
        fds.push_back({event ? event->Native() : -1, POLLIN, 0});
    }
    if (PollRetrying(fds.data(), fds.size(), timeoutMs) < 0) {
        return kWaitFailed;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents & POLLIN) {
            return static_cast<int>(i);
        }
    }
    return kWaitTimeout;
}

}  // namespace platform
