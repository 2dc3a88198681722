// The waits of the monitor thread on POSIX: the port-event wait, the one poll that waits for a
// stop request, a port event or a send request at once, and the wait for a read or write that
// could not complete at once.
#pragma once

#include <poll.h>

#include <array>

#include "platform/serial_port.h"

namespace platform {

enum class PortEventWait {
    EventThere,  // input is already waiting
    Pending,     // nothing yet: the port's descriptor is to be polled
    Failed,      // errno and the thread's last error say why
};

// Starts the wait for an event of the port's mask. Fails with EBADF without a port, EINVAL
// when the mask does not watch received characters, EIO when the device has hung up (input
// still queued is reported as EventThere first, so that it is read before the hang-up shows).
// A seam step (PortCall::WaitEvent).
PortEventWait WaitCommEvent(SerialPort* port);

// Revents bits that mean the device behind a descriptor is gone.
constexpr short kPortGone = POLLHUP | POLLERR | POLLNVAL;

// One poll() without time limit on up to three descriptors (-1 = left out): POLLIN for each,
// so that an eventfd counts when set and a port when readable or gone. Returns the lowest index
// with any event and that entry's revents, or kWaitFailed. Also a seam step
// (PortCall::WaitEvent), so that tests can count how often the thread waits.
int WaitLowest(const std::array<int, 3>& fds, short& revents);

// Waits up to timeoutMs for `events` (POLLIN or POLLOUT) on fd. True when ready; false with
// ETIMEDOUT when the time ran out, EIO when the device is gone, or poll()'s own errno; the
// reason is also left as the thread's last error.
bool WaitReady(int fd, short events, int timeoutMs);

}  // namespace platform
