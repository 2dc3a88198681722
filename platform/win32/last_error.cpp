// The Windows codes: GetLastError()'s kind, and the system's own text for one from
// FormatMessageA.
#include "platform/last_error.h"

#include <windows.h>

namespace platform {

std::string SystemErrorText(ErrorCode code) {
    char* text = nullptr;
    // In the user's default language; the text as it comes, its line break at the end included.
    // Without inserts: a message with %1 in it would read arguments that are not there.
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "Unknown error " + std::to_string(code);
    }
    std::string result(text, length);
    LocalFree(text);
    return result;
}

ErrorCode NoPortError() {
    return ERROR_INVALID_HANDLE;
}

}  // namespace platform
