// The conversation with the camera: the ping, and the read of one line of memory byte by byte.
// Every exchange is lock-step: one command, then its whole reply, before the next command.
#include <cstring>

#include "camera/camera_commands.h"
#include "camera/reply_tests.h"
#include "platform/event.h"
#include "serial/serial_link.h"

bool ReplyContentMatches(const std::uint8_t* reply, std::size_t replySize,
                         const std::uint8_t* expected, std::size_t expectedLength) {
    for (std::size_t i = 0; i < expectedLength; ++i) {
        // A zero byte ends the reply as a string; the expected bytes hold none.
        if (i >= replySize || reply[i] != expected[i]) {
            return false;
        }
    }
    // Anything but a zero right behind the expected bytes makes the reply longer than them.
    return expectedLength >= replySize || reply[expectedLength] == 0;
}

bool ReplyCountMatches(std::int32_t replyCount, std::int32_t expected) {
    return replyCount == expected;
}

bool CSerialLink::Exchange(const char* command, const std::function<bool()>& test) {
    if (IsCancelled() || !m_hByteEvent) {
        return false;
    }
    ClearReply();
    SendHex(command);
    if (m_commandHandedOver) {
        m_commandHandedOver(command);
    }
    for (;;) {
        // The cancel event comes first: a camera that keeps sending must not hold a closing
        // window. A failed wait counts as silence, so it can never turn into a spin.
        const int woken =
            platform::WaitAny({&m_hCancelEvent, m_hByteEvent.get()}, REPLY_TIMEOUT_MS);
        if (woken != 1) {
            return false;
        }
        // Reset before the test: a byte stored meanwhile sets the event again and is tested.
        m_hByteEvent->Reset();
        if (test()) {
            return true;
        }
    }
}

bool CSerialLink::ExchangeForReply(const char* command, const std::uint8_t* reply,
                                   std::size_t length) {
    return Exchange(command, [&] {
        std::lock_guard<std::mutex> guard(m_replyLock);
        return ReplyContentMatches(m_reply.data(), m_reply.size(), reply, length);
    });
}

bool CSerialLink::ExchangeForCount(const char* command, std::int32_t count) {
    return Exchange(command, [&] { return ReplyCountMatches(m_replyCount.load(), count); });
}

int CSerialLink::PingCamera() {
    if (ExchangeForReply(PING_COMMAND, PING_REPLY, sizeof PING_REPLY)) {
        return 0;
    }
    if (!IsCancelled()) {
        ReportError(TIMEOUT_OPERATION, TIMEOUT_DETAIL);
    }
    return 1;
}

const char* CSerialLink::ReadLine(char* address) {
    m_line.clear();
    m_line += address[0];
    m_line += address[1];
    m_line += "    ";

    auto failed = [this] {
        // A closing window ends the line quietly; the caller writes nothing for it.
        if (!IsCancelled()) {
            ReportError(TIMEOUT_OPERATION, TIMEOUT_DETAIL);
        }
        return FAILED_LINE;
    };

    if (m_hByteEvent) {
        m_hByteEvent->Reset();
    }
    if (!ExchangeForReply(PING_COMMAND, PING_REPLY, sizeof PING_REPLY) ||
        !ExchangeForCount(SETUP_COMMAND, SETUP_REPLY_LENGTH) ||
        !ExchangeForReply(ACK_COMMAND, ACK_REPLY, sizeof ACK_REPLY) ||
        !ExchangeForReply(PING_COMMAND, PING_REPLY, sizeof PING_REPLY)) {
        return failed();
    }

    for (std::uint8_t i = 0; i < 16; ++i) {
        const char d = HexDigit(i);
        address[1] = d;

        char command[40] = {};
        std::memcpy(command, READ_TEMPLATE, std::strlen(READ_TEMPLATE) + 1);
        command[14] = address[2];
        command[15] = address[3];
        command[16] = address[0];
        command[17] = d;
        command[18] = address[4];
        command[19] = address[5];

        // Converted in this order so that warnings about a bad address come in text order.
        const std::uint8_t v0 = HexValue(address[0]);
        const std::uint8_t vd = HexValue(d);
        const std::uint8_t v2 = HexValue(address[2]);
        const std::uint8_t v3 = HexValue(address[3]);
        const std::uint8_t v4 = HexValue(address[4]);
        const std::uint8_t v5 = HexValue(address[5]);
        const auto byte8 = static_cast<std::uint8_t>(16 * v0 + vd);
        const auto byte7 = static_cast<std::uint8_t>(16 * v2 + v3);
        const auto byte9 = static_cast<std::uint8_t>(16 * v4 + v5);
        const auto check = static_cast<std::uint8_t>(byte7 ^ byte8 ^ byte9 ^ READ_CHECK_BASE);
        command[36] = HexDigit(check / 16);
        command[37] = HexDigit(check % 16);

        if (!ExchangeForCount(command, READ_REPLY_LENGTH)) {
            return failed();
        }
        std::uint8_t data;
        {
            std::lock_guard<std::mutex> guard(m_replyLock);
            data = m_reply[READ_DATA_INDEX];
        }
        m_line += HexDigit(data / 16);
        m_line += HexDigit(data % 16);
        m_line += ' ';

        if (!ExchangeForReply(ACK_COMMAND, ACK_REPLY, sizeof ACK_REPLY) ||
            !ExchangeForReply(PING_COMMAND, PING_REPLY, sizeof PING_REPLY)) {
            return failed();
        }
    }
    return m_line.c_str();
}
