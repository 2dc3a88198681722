// poll() that carries on after a signal: a wait is never cut short by one.
#pragma once

#include <poll.h>

namespace platform {

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs);

}  // namespace platform
