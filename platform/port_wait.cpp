#include "platform/port_wait.h"

#include <sys/ioctl.h>

#include <cerrno>

#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/port_faults.h"

namespace platform {

namespace {

PortEventWait Fail(int error) {
    errno = error;
    SetLastError(error);
    return PortEventWait::Failed;
}

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs) {
    int ready;
    do {
        ready = poll(fds, count, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready;
}

}  // namespace

PortEventWait WaitCommEvent(SerialPort* port) {
    if (TakePortFault(PortCall::WaitEvent)) {
        return PortEventWait::Failed;
    }
    if (port == nullptr) {
        return Fail(EBADF);
    }
    std::uint32_t mask = 0;
    if (!port->GetMask(mask)) {
        return PortEventWait::Failed;
    }
    if ((mask & EV_RXCHAR) == 0) {
        return Fail(EINVAL);  // nothing to wait for
    }
    pollfd entry{port->Fd(), POLLIN, 0};
    if (PollRetrying(&entry, 1, 0) < 0) {
        return Fail(errno);
    }
    int count = 0;
    if (ioctl(port->Fd(), FIONREAD, &count) != 0) {
        return Fail(errno);
    }
    if (count > 0) {
        return PortEventWait::EventThere;
    }
    if (entry.revents & kPortGone) {
        return Fail(EIO);
    }
    return PortEventWait::Pending;
}

int WaitLowest(const std::array<int, 3>& fds, short& revents) {
    revents = 0;
    if (TakePortFault(PortCall::WaitEvent)) {
        return kWaitFailed;
    }
    std::array<pollfd, 3> entries{};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        entries[i] = {fds[i], POLLIN, 0};
    }
    if (PollRetrying(entries.data(), entries.size(), -1) < 0) {
        SetLastError(errno);
        return kWaitFailed;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].revents != 0) {
            revents = entries[i].revents;
            return static_cast<int>(i);
        }
    }
    return kWaitFailed;
}

bool WaitReady(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    const int ready = PollRetrying(&entry, 1, timeoutMs);
    int error = 0;
    if (ready < 0) {
        error = errno;
    } else if (ready == 0) {
        error = ETIMEDOUT;
    } else if ((entry.revents & events) == 0) {
        error = EIO;  // only a hang-up or an error came back
    }
    if (error != 0) {
        errno = error;
        SetLastError(error);
        return false;
    }
    return true;
}

}  // namespace platform
