#include "platform/last_error.h"

#include <cerrno>
#include <cstring>

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

std::string SystemErrorText(ErrorCode code) {
    char buffer[256];
    // GNU strerror_r: returns the text, which may or may not live in buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    if (text == nullptr || *text == '\0') {
        return "Unknown error " + std::to_string(code);
    }
    return text;
}

ErrorCode NoPortError() {
    return EBADF;
}

}  // namespace platform
