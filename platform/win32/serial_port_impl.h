// The serial port's state on Windows, shared by serial_port.cpp and port_wait.cpp: the handle,
// the settings it had at the open, and one OVERLAPPED record per kind of operation, so that a
// port-event wait still outstanding never shares its record or its event with a read or a write.
#pragma once

// windows.h defines EV_RXCHAR and RTS_CONTROL_ENABLE as macros: it comes after the header that
// declares the same names.
#include "platform/serial_port.h"

#include <windows.h>

namespace platform {

// Whether an error code after a port call means that the device has gone away: a USB adapter
// pulled, or (under Wine) the other side of a pseudo-terminal closed (ERROR_NOT_READY).
bool DeviceGone(DWORD code);

// The code for a device that opened but is no communications port (a file, NUL, a pipe).
constexpr DWORD kNotSerialError = ERROR_BAD_DEVICE;

// An OVERLAPPED record with a manual-reset event of its own.
struct PortRecord {
    OVERLAPPED overlapped{};
    bool Create();
    void Close();
    // Zeroes the offsets and clears the event, as for a new operation.
    void Start();
    HANDLE Event() const { return overlapped.hEvent; }
};

struct SerialPort::Impl {
    ~Impl();  // closes the handle and the records' events

    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string device;
    DCB original{};  // the settings the device had before we opened it
    PortTimeouts timeouts;

    PortRecord wait;   // the port-event wait
    PortRecord read;   // each one-byte read
    PortRecord write;  // each write
    // Filled in by the system when the wait completes: it must stay put while the wait is out.
    DWORD eventWord = 0;
    bool waitPending = false;  // a WaitCommEvent is outstanding on `wait`
    bool eventThere = false;   // the last start found input queued, or the wait completed at once

    // Starts the port-event wait unless one is outstanding, then looks at the input queue:
    // input already queued counts as the event, whatever the wait says. Sets eventThere.
    PortEventWait StartWait();
    // Ends an outstanding wait (also one that will never end by itself) and collects it, so
    // that its record and event word may be reused or freed.
    void AbandonWait();
};

}  // namespace platform
