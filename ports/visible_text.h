// Text that comes from outside the program (a file the user wrote, a device's own name, the
// camera) shown with its control characters made visible: an escape sequence must not move the
// cursor or clear the screen where it is printed, and a NUL must not cut what follows.
#pragma once

#include <string>

namespace ports {

// `text` with each control byte (below 0x20, and 0x7F) written as \xHH. Everything else is left
// as it is: UTF-8, and backslashes, which Windows' device paths are made of. A newline is kept
// only where `keepNewlines` says so.
inline std::string VisibleText(const std::string& text, bool keepNewlines = false) {
    static const char kDigits[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && !(keepNewlines && c == '\n')) || byte == 0x7F) {
            shown += "\\x";
            shown += kDigits[byte >> 4];
            shown += kDigits[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown;
}

// Whether `text` holds a control byte (a NUL included): such a path is refused, not cut.
inline bool HasControlCharacter(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace ports
