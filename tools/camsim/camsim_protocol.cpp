#include "camsim_protocol.h"

#include <array>

namespace camsim {

namespace {

constexpr std::array<std::uint8_t, 3> kPing = {0x05, 0x80, 0x7F};
constexpr std::array<std::uint8_t, 3> kAck = {0x10, 0x3B, 0x04};
constexpr std::array<std::uint8_t, 24> kSetup = {0x01, 0x80, 0x13, 0x20, 0x03, 0x00, 0x01, 0xFF,
                                                 0x01, 0x01, 0x1F, 0x02, 0x01, 0x19, 0x03, 0x01,
                                                 0xFF, 0x80, 0x01, 0x07, 0x81, 0x01, 0xFF, 0xCF};
constexpr std::array<std::uint8_t, 7> kReadHead = {0x01, 0x80, 0x0E, 0x10, 0x20, 0x4D, 0x40};
constexpr std::size_t kReadLength = 19;
constexpr std::size_t kReadAddress = 7;  // bytes 7, 8, 9
constexpr std::size_t kReadCheck = 18;

// How a fixed command compares with the bytes waiting.
template <std::size_t N>
bool FixedMatches(const std::vector<std::uint8_t>& bytes,
                  const std::array<std::uint8_t, N>& command, bool& complete) {
    const std::size_t n = bytes.size() < N ? bytes.size() : N;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] != command[i]) {
            return false;
        }
    }
    complete = bytes.size() >= N;
    return true;
}

bool ReadMatches(const std::vector<std::uint8_t>& bytes, bool& complete) {
    const std::size_t n = bytes.size() < kReadLength ? bytes.size() : kReadLength;
    std::uint8_t check = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        if (i < kReadHead.size() && b != kReadHead[i]) {
            return false;
        }
        if (i > kReadAddress + 2 && i < kReadCheck && b != 0xFF) {
            return false;
        }
        if (i >= 2 && i < kReadCheck) {
            check ^= b;
        }
        if (i == kReadCheck && b != check) {
            return false;
        }
    }
    complete = bytes.size() >= kReadLength;
    return true;
}

char HexDigitOf(unsigned v) {
    return "0123456789ABCDEF"[v & 0x0F];
}

}  // namespace

CameraProtocol::CameraProtocol(const CameraMemory& memory, ReplyFaults faults)
    : m_memory(memory), m_faults(faults) {}

CameraProtocol::Match CameraProtocol::MatchAt(std::size_t& length) const {
    bool complete = false;
    bool partial = false;
    if (FixedMatches(m_pending, kPing, complete)) {
        if (complete) {
            length = kPing.size();
            return Match::Complete;
        }
        partial = true;
    }
    if (FixedMatches(m_pending, kAck, complete)) {
        if (complete) {
            length = kAck.size();
            return Match::Complete;
        }
        partial = true;
    }
    if (FixedMatches(m_pending, kSetup, complete)) {
        if (complete) {
            length = kSetup.size();
            return Match::Complete;
        }
        partial = true;
    }
    if (ReadMatches(m_pending, complete)) {
        if (complete) {
            length = kReadLength;
            return Match::Complete;
        }
        partial = true;
    }
    return partial ? Match::Partial : Match::None;
}

std::vector<std::uint8_t> CameraProtocol::Reply(const std::vector<std::uint8_t>& command) {
    std::vector<std::uint8_t> reply;
    if (command.size() == kPing.size() && command[0] == kPing[0]) {
        reply.assign({0x06, 0x80, 0x7F});
    } else if (command.size() == kAck.size()) {
        reply.assign({0x06});
    } else if (command.size() == kSetup.size()) {
        reply.reserve(command.size() + 2);
        reply.push_back(0x06);
        for (std::uint8_t b : command) {
            reply.push_back(b);
        }
        reply.push_back(0x06);
    } else {
        const std::uint8_t a7 = command[kReadAddress];
        const std::uint8_t a8 = command[kReadAddress + 1];
        const std::uint8_t a9 = command[kReadAddress + 2];
        reply.assign({0x06, 0x80, 0x0D, 0x10, 0x20, 0x4D, 0x40, a7, a8, m_memory.At(a7, a8, a9)});
        reply.insert(reply.end(), 7, 0xFF);
        std::uint8_t check = 0;
        for (std::size_t i = 2; i < reply.size(); ++i) {
            check ^= reply[i];
        }
        reply.push_back(check);
    }
    return reply;
}

void CameraProtocol::FlushDropped(std::vector<Exchange>& out) {
    if (!m_dropped.empty()) {
        out.push_back({std::move(m_dropped), {}, false});
        m_dropped.clear();
    }
}

std::vector<Exchange> CameraProtocol::Receive(const std::uint8_t* data, std::size_t length) {
    std::vector<Exchange> out;
    m_pending.insert(m_pending.end(), data, data + length);
    while (!m_pending.empty()) {
        std::size_t commandLength = 0;
        const Match match = MatchAt(commandLength);
        if (match == Match::Partial) {
            break;
        }
        if (match == Match::None) {
            m_dropped.push_back(m_pending.front());
            m_pending.erase(m_pending.begin());
            continue;
        }
        FlushDropped(out);
        Exchange exchange;
        exchange.recognised = true;
        exchange.received.assign(m_pending.begin(), m_pending.begin() + commandLength);
        m_pending.erase(m_pending.begin(), m_pending.begin() + commandLength);
        ++m_commands;
        if (m_faults.silentAfter < 0 || m_commands <= m_faults.silentAfter) {
            exchange.reply = Reply(exchange.received);
        }
        out.push_back(std::move(exchange));
    }
    FlushDropped(out);
    return out;
}

std::vector<Exchange> CameraProtocol::DropPending() {
    std::vector<Exchange> out;
    m_dropped.insert(m_dropped.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
    FlushDropped(out);
    return out;
}

std::string LogLine(const Exchange& exchange) {
    std::string line;
    for (std::uint8_t b : exchange.received) {
        line += HexDigitOf(b >> 4);
        line += HexDigitOf(b);
    }
    line += ' ';
    if (exchange.reply.empty()) {
        line += '-';
    }
    for (std::uint8_t b : exchange.reply) {
        line += HexDigitOf(b >> 4);
        line += HexDigitOf(b);
    }
    return line;
}

}  // namespace camsim
