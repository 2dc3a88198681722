// The last error of this layer, kept per thread alike on every system; the texts and codes that
// differ are in posix/ and win32/.
#include "platform/last_error.h"

namespace platform {

namespace {
thread_local ErrorCode t_lastError = 0;
}

ErrorCode GetLastError() {
    return t_lastError;
}

void SetLastError(ErrorCode code) {
    t_lastError = code;
}

}  // namespace platform
