// Commands are held as text of hexadecimal digit pairs and turned into bytes just before they
// are handed to the monitor thread.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "camera/hex_digit.h"
#include "serial/serial_link.h"

namespace {

constexpr std::size_t kTextArea = 200;
constexpr std::size_t kStagingArea = 100;
constexpr std::size_t kShortestCommand = 2;
constexpr std::size_t kLongestCommand = 128;

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::uint8_t CSerialLink::HexValue(char c) {
    if (const int value = HexDigitValue(c); value >= 0) {
        return static_cast<std::uint8_t>(value);
    }
    char detail[100];
    std::snprintf(detail, sizeof detail, "No recognized symbol: %c", c);
    ReportError("Enter new value. ", detail);
    return 16;
}

char CSerialLink::HexDigit(unsigned value) {
    const unsigned digit = value & 0xFFu;
    if (digit < 10) {
        return static_cast<char>('0' + digit);
    }
    if (digit < 16) {
        return static_cast<char>('A' + digit - 10);
    }
    return 'X';
}

void CSerialLink::SendHex(const char* text) {
    if (IsCancelled() || !m_hSendEvent || !m_sendBuffer) {
        return;  // the window is closing, or no port was ever set up to send on
    }
    const std::size_t n = std::strlen(text);
    if (n < kShortestCommand || n > kLongestCommand || n % 2 != 0) {
        // Half a pair or an oversized text would go out as bytes nobody meant.
        char detail[120];
        std::snprintf(detail, sizeof detail,
                      "Command text of %zu characters; it must have an even number from 2 to "
                      "128.",
                      n);
        ReportError("SendHex()", detail);
        return;
    }

    char textArea[kTextArea] = {};
    std::uint8_t staging[kStagingArea] = {};
    std::memcpy(textArea, text, n + 1);
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        const std::uint8_t high = HexValue(textArea[i]);
        const std::uint8_t low = HexValue(textArea[i + 1]);
        // 8-bit arithmetic: a non-digit (16) adds 0 as the high digit and 16 as the low one.
        staging[i / 2] = static_cast<std::uint8_t>(16 * high + low);
    }
    {
        // The monitor thread may still be writing the previous command after its reply timed
        // out; the port lock keeps the buffer from changing under that write.
        std::lock_guard<std::mutex> guard(m_lock);
        m_sendLength = static_cast<std::int32_t>((n - 1) / 2 + 1);
        std::memcpy(m_sendBuffer.get(), staging,
                    std::min<std::size_t>(kStagingArea, m_sendBufferSize));
    }
    m_hSendEvent->Set();
}
