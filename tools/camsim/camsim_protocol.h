// The simulated camera's side of the protocol, as bytes in and bytes out: no I/O, no clock.
//
// Commands are recognised in a byte stream, as a camera resyncs on garbage: the ping 05 80 7F,
// the set-up command (24 fixed bytes), the ack 10 3B 04 and the read command
// 01 80 0E 10 20 4D 40 a7 a8 a9 FF FF FF FF FF FF FF FF c, whose check byte c is the xor of its
// bytes 2..17. A byte that cannot start (or continue) one of them is dropped and the search
// goes on from the next byte, so a read command with a wrong check byte is not answered.
// Replies:
//   ping    -> 06 80 7F
//   set-up  -> 06, the 24 command bytes echoed, 06 (26 bytes)
//   ack     -> 06
//   read    -> 06 80 0D 10 20 4D 40 a7 a8 D FF FF FF FF FF FF FF x (18 bytes), D the memory
//              byte at (a7, a8, a9), x the xor of bytes 2..16
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "camsim_memory.h"

namespace camsim {

// The fault that changes what the camera answers (timing faults live in the program).
struct ReplyFaults {
    int silentAfter = -1;  // answer only the first N commands; -1: all
};

struct Exchange {
    std::vector<std::uint8_t> received;
    std::vector<std::uint8_t> reply;  // empty: the camera stays silent
    bool recognised = false;          // false: bytes the camera dropped
};

class CameraProtocol {
public:
    explicit CameraProtocol(const CameraMemory& memory, ReplyFaults faults = {});

    // Takes received bytes and returns what the camera does with them, in order: each command
    // recognised and its reply, and each run of bytes dropped. A command cut off at the end of
    // `data` waits for the rest.
    std::vector<Exchange> Receive(const std::uint8_t* data, std::size_t length);

    // Drops the start of a command that never got finished (the program calls this after a
    // silence); nothing when no bytes wait.
    std::vector<Exchange> DropPending();
    bool HasPending() const { return !m_pending.empty(); }

    // Commands recognised so far.
    int CommandCount() const { return m_commands; }

private:
    enum class Match { None, Partial, Complete };
    Match MatchAt(std::size_t& length) const;
    std::vector<std::uint8_t> Reply(const std::vector<std::uint8_t>& command);
    void FlushDropped(std::vector<Exchange>& out);

    const CameraMemory& m_memory;
    ReplyFaults m_faults;
    std::vector<std::uint8_t> m_pending;
    std::vector<std::uint8_t> m_dropped;
    int m_commands = 0;
};

// "05807F 06807F": the received bytes and the reply in uppercase hexadecimal, separated by
// one blank; "-" stands for no reply.
std::string LogLine(const Exchange& exchange);

}  // namespace camsim
