// The system's text for an errno value, and the code for a port that is not open.
#include "platform/last_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

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
