// The process on Windows: a standard stream without a handle (a program started detached, or
// with `>&-` from a POSIX shell) is put on NUL; no signal ends a process in a write.
#include "platform/process.h"

#include <io.h>

#include <cstdio>

namespace platform {

unsigned OpenStandardDescriptors() {
    unsigned closed = 0;
    std::FILE* const streams[] = {stdin, stdout, stderr};
    const char* const modes[] = {"r", "w", "w"};
    for (int fd = 0; fd <= 2; ++fd) {
        // No handle behind it: writes would vanish, or fail without a word.
        if (_get_osfhandle(fd) == -1 || _get_osfhandle(fd) == -2) {
            closed |= 1u << fd;
            if (!std::freopen("NUL", modes[fd], streams[fd])) {
                break;  // nothing better to do this early; the program goes on as before
            }
        }
    }
    return closed;
}

void IgnoreWriteSignals() {
    // Nothing to do: Windows has no SIGPIPE or SIGXFSZ; a closed pipe or a full disk makes the
    // write itself fail.
}

}  // namespace platform
