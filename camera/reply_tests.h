// The two ways a camera reply is judged while it arrives.
#pragma once

#include <cstddef>
#include <cstdint>

// The reply, read as a zero-terminated string, equals `expected` (which holds no zero byte).
// Bytes from the first zero on are not looked at; reads at most expectedLength + 1 bytes of
// `reply`, and never past replySize.
bool ReplyContentMatches(const std::uint8_t* reply, std::size_t replySize,
                         const std::uint8_t* expected, std::size_t expectedLength);

// The reply holds exactly `expected` bytes; their contents do not matter.
bool ReplyCountMatches(std::int32_t replyCount, std::int32_t expected);
