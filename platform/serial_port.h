// A serial port on POSIX, giving the effects the link relies on: an exclusive open or a clear
// failure, time-outs, an event mask, line settings read and applied (raw, no flow control,
// RTS raised), a full purge, the input count and single reads and writes. Every failing call
// returns false and leaves its errno as the thread's last error (platform::GetLastError).
#pragma once

#include <termios.h>

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Event-mask bit: a character arrived.
constexpr std::uint32_t EV_RXCHAR = 0x0001;

// The port's time-outs in milliseconds.
struct PortTimeouts {
    int readIntervalTimeout = 0;
    int readTotalTimeoutMultiplier = 0;
    int readTotalTimeoutConstant = 0;
    int writeTotalTimeoutMultiplier = 0;
    int writeTotalTimeoutConstant = 0;
};

// RTS control values: lowered, or raised and kept raised while the port is open.
constexpr int RTS_CONTROL_DISABLE = 0;
constexpr int RTS_CONTROL_ENABLE = 1;

// The port's device-control settings: the terminal attributes plus how RTS is driven.
struct PortState {
    termios tio{};
    int rtsControl = 0;
};

// Applies a settings text "baud=%d parity=%c data=%d stop=%d" to `state`: raw mode, the speed,
// parity (N, E, O), data bits (5 to 8) and stop bits (1, 2), receiver on, modem lines ignored,
// no flow control. False with EINVAL for a text or value it cannot take.
bool BuildPortState(const char* settings, PortState& state);

class SerialPort {
public:
    // Opens `device` for exclusive use: open, flock and TIOCEXCL. Null on failure, with the
    // reason (ENOENT, EBUSY for a port another program holds, EACCES, ENOTTY for anything but
    // a terminal device, ...) in `error` and as the thread's last error.
    static std::unique_ptr<SerialPort> Open(const std::string& device, int& error);

    // Puts back the settings the device had at the open, gives up the exclusive flag, closes.
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    int Fd() const { return m_fd; }
    const std::string& Device() const { return m_device; }

    bool SetTimeouts(const PortTimeouts& timeouts);
    const PortTimeouts& Timeouts() const { return m_timeouts; }
    bool SetMask(std::uint32_t mask);
    bool GetMask(std::uint32_t& mask);
    // Reads the terminal attributes, and whether RTS is up where the device has modem lines.
    bool GetState(PortState& state);
    // Applies the settings, raises RTS when asked (skipped on a device without modem lines),
    // then reads the settings back: a difference fails with EINVAL.
    bool SetState(const PortState& state);
    // Aborts pending I/O and empties both queues.
    bool Purge();
    // Whether the device has gone away (adapter pulled, other side of a pseudo-terminal
    // closed) since it was opened.
    bool HungUp() const;
    // Number of bytes waiting in the input queue.
    bool InputCount(int& count);
    // One read(): the number of bytes read, 0 when the other side hung up, -1 on failure
    // (EAGAIN when nothing is there yet).
    int Read(std::uint8_t* buffer, int length);
    // One write(): the number of bytes written or -1 on failure (EAGAIN when the queue is full).
    int Write(const std::uint8_t* buffer, int length);

private:
    SerialPort(int fd, std::string device, const termios& original)
        : m_fd(fd), m_device(std::move(device)), m_original(original) {}

    int m_fd;
    std::string m_device;
    termios m_original;  // the settings the device had before we opened it
    PortTimeouts m_timeouts;
    std::uint32_t m_mask = 0;
};

}  // namespace platform
