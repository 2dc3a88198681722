// The camera's commands and what is expected back. Commands are hexadecimal text, converted to
// bytes only when they are handed to the monitor thread.
#pragma once

#include <cstdint>

// Asks whether a camera is there; answered with PING_REPLY.
inline constexpr const char* PING_COMMAND = "05807F";
inline constexpr std::uint8_t PING_REPLY[] = {0x06, 0x80, 0x7F};

// Prepares the camera for memory reads; its reply is tested only by its length.
inline constexpr const char* SETUP_COMMAND = "01801320030001FF01011F0201190301FF8001078101FFCF";
inline constexpr std::int32_t SETUP_REPLY_LENGTH = 26;

inline constexpr const char* ACK_COMMAND = "103B04";
inline constexpr std::uint8_t ACK_REPLY[] = {0x06};

// Reads one byte of camera memory. Text positions 14..19 carry the address bytes 7, 8 and 9,
// positions 36..37 the check byte; the reply's byte 9 is the data byte.
inline constexpr const char* READ_TEMPLATE = "01800E10204D4000F802FFFFFFFFFFFFFFFFC9";
inline constexpr std::int32_t READ_REPLY_LENGTH = 18;
inline constexpr int READ_DATA_INDEX = 9;
// The exclusive-or of the template bytes 2..17 that never change; xor-ed with the three address
// bytes it gives the check byte.
inline constexpr std::uint8_t READ_CHECK_BASE = 0x33;

// The longest silence allowed before each reply byte.
inline constexpr int REPLY_TIMEOUT_MS = 2000;

// The result of a line that could not be read.
inline constexpr const char* FAILED_LINE = "XXXX";

inline constexpr const char* TIMEOUT_OPERATION = "DV Camera not responding. ";
inline constexpr const char* TIMEOUT_DETAIL = "TimeOut. Check connection between port and camera.";
