// The waits of the monitor thread on POSIX: a port event is the port's descriptor becoming
// readable (or hanging up), polled together with the stop and send events' descriptors.
#include <sys/ioctl.h>

#include <array>
#include <cerrno>

#include "platform/port_faults.h"
#include "platform/posix/poll_retrying.h"
#include "platform/serial_port.h"

namespace platform {

namespace {

// Revents bits that mean the device behind a descriptor is gone.
constexpr short kPortGone = POLLHUP | POLLERR | POLLNVAL;

PortEventWait Fail(int error, PortEventWait how = PortEventWait::Failed) {
    errno = error;
    SetLastError(error);
    return how;
}

}  // namespace

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs) {
    int ready;
    do {
        ready = poll(fds, count, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready;
}

PortEventWait SerialPort::WaitCommEvent() {
    if (TakePortFault(PortCall::WaitEvent)) {
        return errno == EIO ? PortEventWait::Gone : PortEventWait::Failed;
    }
    std::uint32_t mask = 0;
    if (!GetMask(mask)) {
        return PortEventWait::Failed;
    }
    if ((mask & EV_RXCHAR) == 0) {
        return Fail(EINVAL, PortEventWait::NothingToWatch);
    }
    pollfd entry{Native(), POLLIN, 0};
    if (PollRetrying(&entry, 1, 0) < 0) {
        return Fail(errno);
    }
    int count = 0;
    if (ioctl(Native(), FIONREAD, &count) != 0) {
        // Once the kernel has finished hanging a terminal up, it answers EIO: the device is gone,
        // as a POLLHUP a moment earlier would have said.
        const int error = errno;
        return Fail(error, error == EIO ? PortEventWait::Gone : PortEventWait::Failed);
    }
    // Input still queued is read before a hang-up shows.
    if (count > 0) {
        return PortEventWait::EventThere;
    }
    if (entry.revents & kPortGone) {
        return Fail(EIO, PortEventWait::Gone);
    }
    return PortEventWait::Pending;
}

PortWake WaitLowest(const Event& stop, SerialPort* port, const Event& send) {
    PortWake wake;
    if (TakePortFault(PortCall::WaitEvent)) {
        return wake;
    }
    // POLLIN for each: an eventfd counts when set, a port when readable or gone.
    std::array<pollfd, 3> entries{{{stop.Native(), POLLIN, 0},
                                   {port ? port->Native() : -1, POLLIN, 0},
                                   {send.Native(), POLLIN, 0}}};
    if (PollRetrying(entries.data(), entries.size(), -1) < 0) {
        SetLastError(errno);
        return wake;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].revents != 0) {
            wake.index = static_cast<int>(i);
            wake.input = (entries[i].revents & POLLIN) != 0;
            wake.gone = (entries[i].revents & kPortGone) != 0;
            if (wake.gone) {
                SetLastError(EIO);  // poll() says only that the device went
            }
            return wake;
        }
    }
    return wake;
}

}  // namespace platform
