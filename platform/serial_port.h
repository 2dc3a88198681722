// A serial port, giving the effects the link relies on: an exclusive open or a clear failure,
// time-outs, an event mask, line settings read and applied (raw, no flow control, RTS raised),
// a full purge, the input count, the wait for a port event, and reads and writes that wait no
// longer than the port's time-outs. One implementation per system (termios on POSIX, the comm
// API on Windows). Every failing call leaves the system's code as the thread's last error
// (platform::GetLastError).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/native_handle.h"

namespace platform {

// Event-mask bit: a character arrived.
constexpr std::uint32_t EV_RXCHAR = 0x0001;

struct PortWake;

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

// The port's device-control settings: the system's own record of them (termios, DCB), as read
// from the port and changed by a settings text, and how RTS is driven.
class PortState {
public:
    PortState();
    ~PortState();
    PortState(const PortState& other);
    PortState& operator=(const PortState& other);

    int rtsControl = RTS_CONTROL_DISABLE;

    struct Native;  // each system's record
    Native& native() { return *m_native; }
    const Native& native() const { return *m_native; }

private:
    std::unique_ptr<Native> m_native;
};

// Applies a settings text "baud=%d parity=%c data=%d stop=%d" to `state`: the speed, parity
// (N, E, O), data bits (5 to 8) and stop bits (1, 2), receiver on, modem lines ignored, no flow
// control. False for a text or value it cannot take.
bool BuildPortState(const char* settings, PortState& state);

// How the wait for a port event started.
enum class PortEventWait {
    EventThere,      // input is already waiting
    Pending,         // nothing yet: the port takes part in WaitLowest
    NothingToWatch,  // the mask does not watch received characters
    Gone,            // the device has gone away (input still queued comes first, as EventThere)
    Failed,
};

enum class IoStatus {
    Done,
    TimedOut,  // nothing within the port's time-out: not a failure
    Failed,
    Gone,  // the device has gone away
};

struct IoResult {
    IoStatus status = IoStatus::Done;
    // The operation could not complete at once, and its failure came while it was waited for.
    bool waited = false;
};

class SerialPort {
public:
    // Opens `device` for exclusive use. Null on failure, with the reason in `error` and as the
    // thread's last error (platform/serial_devices.h tells the kinds apart).
    static std::unique_ptr<SerialPort> Open(const std::string& device, ErrorCode& error);

    // Puts back the settings the device had at the open, gives up exclusive use, closes.
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    const std::string& Device() const;
    NativeHandle Native() const;

    bool SetTimeouts(const PortTimeouts& timeouts);
    bool SetMask(std::uint32_t mask);
    bool GetMask(std::uint32_t& mask);
    // Reads the device's settings, and whether RTS is up where the device has modem lines.
    bool GetState(PortState& state);
    // Applies the settings and raises RTS when asked (skipped on a device without modem
    // lines), then reads the settings back: a difference is a failure.
    bool SetState(const PortState& state);
    // Aborts pending I/O and empties both queues.
    bool Purge();
    // Whether the device has gone away (adapter pulled, the other side of a pseudo-terminal
    // closed) since it was opened.
    bool HungUp() const;
    // Number of bytes waiting in the input queue.
    bool InputCount(int& count);
    // Starts the wait for an event of the port's mask.
    PortEventWait WaitCommEvent();
    // One byte: `got` tells whether one was read. When none is there yet, waits for one up to
    // the port's read time-out for a byte.
    IoResult ReadByte(std::uint8_t& byte, bool& got);
    // All of `length` bytes, within the port's write time-out for that many bytes.
    IoResult Write(const std::uint8_t* bytes, int length);

    struct Impl;  // each system's handle and saved settings

private:
    // Where a port-event wait is a record of the port's own (Windows), the wait below needs it.
    friend PortWake WaitLowest(const Event& stop, SerialPort* port, const Event& send);
    explicit SerialPort(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// Puts back the settings of every port still open and clears its exclusive flag, as closing it
// would: for an end that closes nothing itself (a second stop signal). Safe in a signal
// handler; does nothing where the system frees a port with the process (Windows).
void RestoreOpenPorts();

// The monitor thread's wait, without time limit, for a stop request, a port event (only while
// `port`, when given, has a port-event wait under way) or a send request. The lowest index
// among them wins; for the port, whether input came or the device has gone.
struct PortWake {
    int index = kWaitFailed;  // 0 stop, 1 port, 2 send, or kWaitFailed
    bool input = false;
    bool gone = false;
};
PortWake WaitLowest(const Event& stop, SerialPort* port, const Event& send);

}  // namespace platform
