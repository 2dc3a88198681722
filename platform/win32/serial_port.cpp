// The serial port on Windows: the comm API on a handle opened for overlapped I/O, each read and
// write waited for no longer than the port's time-outs. EV_RXCHAR and RTS_CONTROL_ENABLE below
// are windows.h's own macros, with the same values as this layer's constants.
#include "platform/win32/serial_port_impl.h"

#include "platform/port_faults.h"

namespace platform {

struct PortState::Native {
    Native() { dcb.DCBlength = sizeof dcb; }
    DCB dcb{};
};

namespace {

bool Fail() {
    platform::SetLastError(static_cast<ErrorCode>(::GetLastError()));
    return false;
}

IoResult Failed(DWORD error, bool waited) {
    platform::SetLastError(static_cast<ErrorCode>(error));
    return {DeviceGone(error) ? IoStatus::Gone : IoStatus::Failed, waited};
}

// Milliseconds from now until `deadline` (a GetTickCount64 value), never below 0.
DWORD Left(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits until `deadline` for the operation outstanding on `record`, cancels it when the time has
// run out, and collects what it did. 0 when it completed, else the error it ended with
// (ERROR_OPERATION_ABORTED when it was cancelled with nothing done).
DWORD Finish(HANDLE handle, PortRecord& record, ULONGLONG deadline, DWORD& transferred) {
    for (;;) {
        if (WaitForSingleObject(record.Event(), Left(deadline)) != WAIT_OBJECT_0) {
            CancelIoEx(handle, &record.overlapped);
            break;
        }
        if (GetOverlappedResult(handle, &record.overlapped, &transferred, FALSE)) {
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_INCOMPLETE) {
            return error;
        }
        // Wine may set the event before the result is there: wait for the time left. The
        // completion sets the event again, and past the deadline the cancel collects it anyway.
        ResetEvent(record.Event());
    }
    if (GetOverlappedResult(handle, &record.overlapped, &transferred, TRUE)) {
        return 0;
    }
    return ::GetLastError();
}

// The settings that the settings text and the RTS choice decide; a driver may keep the rest as
// it likes.
bool SameSettings(const DCB& a, const DCB& b) {
    return a.BaudRate == b.BaudRate && a.ByteSize == b.ByteSize && a.Parity == b.Parity &&
           a.StopBits == b.StopBits && a.fOutxCtsFlow == b.fOutxCtsFlow &&
           a.fOutxDsrFlow == b.fOutxDsrFlow && a.fOutX == b.fOutX && a.fInX == b.fInX &&
           (a.fRtsControl == RTS_CONTROL_ENABLE) == (b.fRtsControl == RTS_CONTROL_ENABLE);
}

}  // namespace

bool DeviceGone(DWORD code) {
    switch (code) {
        case ERROR_NOT_READY:             // Wine: the other side of a pseudo-terminal closed
        case ERROR_BAD_COMMAND:           // a USB serial driver whose device was pulled
        case ERROR_GEN_FAILURE:           // likewise
        case ERROR_ACCESS_DENIED:         // likewise, on a handle that was open and working
        case ERROR_DEVICE_NOT_CONNECTED:  // likewise
        case ERROR_DEVICE_REMOVED:
            return true;
        default:
            return false;
    }
}

bool PortRecord::Create() {
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return overlapped.hEvent != nullptr;
}

void PortRecord::Close() {
    if (overlapped.hEvent) {
        CloseHandle(overlapped.hEvent);
        overlapped.hEvent = nullptr;
    }
}

void PortRecord::Start() {
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
    ResetEvent(overlapped.hEvent);
}

void SerialPort::Impl::AbandonWait() {
    if (!waitPending) {
        return;
    }
    CancelIoEx(handle, &wait.overlapped);
    DWORD transferred = 0;
    GetOverlappedResult(handle, &wait.overlapped, &transferred, TRUE);
    waitPending = false;
}

PortState::PortState() : m_native(std::make_unique<Native>()) {}
PortState::~PortState() = default;
PortState::PortState(const PortState& other)
    : rtsControl(other.rtsControl), m_native(std::make_unique<Native>(*other.m_native)) {}
PortState& PortState::operator=(const PortState& other) {
    rtsControl = other.rtsControl;
    *m_native = *other.m_native;
    return *this;
}

bool BuildPortState(const char* settings, PortState& state) {
    if (TakePortFault(PortCall::BuildState)) {
        return false;
    }
    DCB& dcb = state.native().dcb;
    if (!BuildCommDCBA(settings, &dcb)) {
        return Fail();
    }
    // No flow control of any kind and the modem lines ignored, whatever the device had before.
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) {
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    }
    // A line error must not stop all reading and writing until the error is cleared.
    dcb.fAbortOnError = FALSE;
    return true;
}

SerialPort::SerialPort(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& device, ErrorCode& error) {
    error = 0;
    if (TakePortFault(PortCall::Open)) {
        error = platform::GetLastError();
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    // No sharing: the port is ours alone while it is open.
    impl->handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    DWORD code = 0;
    impl->original.DCBlength = sizeof impl->original;
    if (impl->handle == INVALID_HANDLE_VALUE) {
        code = ::GetLastError();
    } else if (GetFileType(impl->handle) != FILE_TYPE_CHAR ||
               !GetCommState(impl->handle, &impl->original)) {
        // A file, NUL or a pipe would take the commands as data: only a comm device is a port.
        code = kNotSerialError;
    } else if (!impl->wait.Create() || !impl->read.Create() || !impl->write.Create()) {
        code = ::GetLastError();
    }
    if (code != 0) {
        error = static_cast<ErrorCode>(code);
        platform::SetLastError(error);
        return nullptr;  // the Impl closes what was opened
    }
    impl->device = device;
    return std::unique_ptr<SerialPort>(new SerialPort(std::move(impl)));
}

SerialPort::Impl::~Impl() {
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    wait.Close();
    read.Close();
    write.Close();
}

SerialPort::~SerialPort() {
    m_impl->AbandonWait();
    // Whoever uses the device next finds it as it was.
    SetCommState(m_impl->handle, &m_impl->original);
}

const std::string& SerialPort::Device() const {
    return m_impl->device;
}

NativeHandle SerialPort::Native() const {
    return m_impl->handle;
}

bool SerialPort::SetTimeouts(const PortTimeouts& timeouts) {
    if (TakePortFault(PortCall::SetTimeouts)) {
        return false;
    }
    COMMTIMEOUTS values{static_cast<DWORD>(timeouts.readIntervalTimeout),
                        static_cast<DWORD>(timeouts.readTotalTimeoutMultiplier),
                        static_cast<DWORD>(timeouts.readTotalTimeoutConstant),
                        static_cast<DWORD>(timeouts.writeTotalTimeoutMultiplier),
                        static_cast<DWORD>(timeouts.writeTotalTimeoutConstant)};
    if (!SetCommTimeouts(m_impl->handle, &values)) {
        return Fail();
    }
    m_impl->timeouts = timeouts;
    return true;
}

bool SerialPort::SetMask(std::uint32_t mask) {
    if (TakePortFault(PortCall::SetMask)) {
        return false;
    }
    if (!SetCommMask(m_impl->handle, mask)) {
        return Fail();
    }
    return true;
}

bool SerialPort::GetMask(std::uint32_t& mask) {
    if (TakePortFault(PortCall::GetMask)) {
        return false;
    }
    DWORD value = 0;
    if (!GetCommMask(m_impl->handle, &value)) {
        return Fail();
    }
    mask = value;
    return true;
}

bool SerialPort::GetState(PortState& state) {
    if (TakePortFault(PortCall::GetState)) {
        return false;
    }
    DCB& dcb = state.native().dcb;
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_impl->handle, &dcb)) {
        return Fail();
    }
    state.rtsControl = dcb.fRtsControl == RTS_CONTROL_ENABLE ? RTS_CONTROL_ENABLE : 0;
    return true;
}

bool SerialPort::SetState(const PortState& state) {
    if (TakePortFault(PortCall::SetState)) {
        return false;
    }
    // RTS raised through the settings: SetCommState raises it and keeps it raised.
    DCB dcb = state.native().dcb;
    dcb.DCBlength = sizeof dcb;
    dcb.fRtsControl =
        state.rtsControl == RTS_CONTROL_ENABLE ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (!SetCommState(m_impl->handle, &dcb)) {
        return Fail();
    }
    // A driver may take part of a change: compare what took effect.
    DCB applied{};
    applied.DCBlength = sizeof applied;
    if (!GetCommState(m_impl->handle, &applied)) {
        return Fail();
    }
    if (!SameSettings(applied, dcb)) {
        platform::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

bool SerialPort::Purge() {
    if (TakePortFault(PortCall::Purge)) {
        return false;
    }
    if (!PurgeComm(m_impl->handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        return Fail();
    }
    return true;
}

bool SerialPort::HungUp() const {
    DWORD errors = 0;
    COMSTAT status{};
    return !ClearCommError(m_impl->handle, &errors, &status) && DeviceGone(::GetLastError());
}

bool SerialPort::InputCount(int& count) {
    if (TakePortFault(PortCall::InputCount)) {
        return false;
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_impl->handle, &errors, &status)) {
        return Fail();
    }
    count = static_cast<int>(status.cbInQue);
    return true;
}

IoResult SerialPort::ReadByte(std::uint8_t& byte, bool& got) {
    got = false;
    if (TakePortFault(PortCall::Read)) {
        return Failed(static_cast<DWORD>(platform::GetLastError()), false);
    }
    // One deadline for the whole read, however often Wine ends a wait early.
    const PortTimeouts& t = m_impl->timeouts;
    const ULONGLONG deadline =
        GetTickCount64() + t.readTotalTimeoutMultiplier * 1 + t.readTotalTimeoutConstant;
    bool waited = false;
    for (;;) {
        PortRecord& record = m_impl->read;
        record.Start();
        DWORD count = 0;
        DWORD error = 0;
        bool pending = false;
        if (!ReadFile(m_impl->handle, &byte, 1, &count, &record.overlapped)) {
            error = ::GetLastError();
            if (error == ERROR_IO_PENDING) {
                pending = waited = true;
                error = Finish(m_impl->handle, record, deadline, count);
            }
        }
        if (error == 0 && count == 1) {
            got = true;
            return {IoStatus::Done, waited};
        }
        // Nothing read is a time-out, not a failure: Windows completes such a read with no
        // byte, Wine with ERROR_TIMEOUT; ERROR_OPERATION_ABORTED is the read cancelled above or
        // ended early.
        if (error != 0 && error != ERROR_TIMEOUT && error != ERROR_OPERATION_ABORTED) {
            return Failed(error, waited);
        }
        // Only a read that was waited for and ended before the deadline is tried again, for the
        // time left; one that ends at once with nothing would only end at once again.
        if (!pending || Left(deadline) == 0) {
            return {IoStatus::TimedOut, true};
        }
    }
}

IoResult SerialPort::Write(const std::uint8_t* bytes, int length) {
    if (TakePortFault(PortCall::Write)) {
        return Failed(static_cast<DWORD>(platform::GetLastError()), false);
    }
    const PortTimeouts& t = m_impl->timeouts;
    const ULONGLONG deadline = GetTickCount64() +
                               static_cast<ULONGLONG>(t.writeTotalTimeoutMultiplier) * length +
                               t.writeTotalTimeoutConstant;
    PortRecord& record = m_impl->write;
    record.Start();
    DWORD count = 0;
    bool waited = false;
    DWORD error = 0;
    if (!WriteFile(m_impl->handle, bytes, static_cast<DWORD>(length), &count, &record.overlapped)) {
        error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            return Failed(error, false);
        }
        waited = true;
        error = Finish(m_impl->handle, record, deadline, count);
    }
    if (error == 0 && count == static_cast<DWORD>(length)) {
        return {IoStatus::Done, waited};
    }
    // The port's write time-out ran out with bytes unsent (Windows completes such a write
    // short, without an error of its own).
    return Failed(error == 0 || error == ERROR_OPERATION_ABORTED ? ERROR_TIMEOUT : error, waited);
}

void RestoreOpenPorts() {
    // Windows closes a port's handle with the process and keeps no exclusive flag beyond it.
}

}  // namespace platform
