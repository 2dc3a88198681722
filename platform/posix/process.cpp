#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

unsigned OpenStandardDescriptors() {
    unsigned closed = 0;
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0) {
            closed |= 1u << fd;
        }
    }
    // open() takes the lowest free descriptor: each one fills the next gap. Without O_CLOEXEC,
    // as standard descriptors are passed on to children.
    for (unsigned gaps = closed; gaps != 0; gaps &= gaps - 1) {
        if (open("/dev/null", O_RDWR) < 0) {
            break;  // nothing better to do this early; the program goes on as before
        }
    }
    return closed;
}

void IgnoreWriteSignals() {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

}  // namespace platform
