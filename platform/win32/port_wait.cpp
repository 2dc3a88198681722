// The waits of the monitor thread on Windows: an overlapped WaitCommEvent whose record's event
// is waited on together with the stop and send events by WaitForMultipleObjects. EV_RXCHAR below
// is windows.h's macro, of the same value as this layer's constant.
#include "platform/port_faults.h"
#include "platform/win32/serial_port_impl.h"

namespace platform {

PortEventWait SerialPort::Impl::StartWait() {
    eventThere = false;
    if (!waitPending) {
        wait.Start();
        eventWord = 0;
        if (!::WaitCommEvent(handle, &eventWord, &wait.overlapped)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) {
                platform::SetLastError(static_cast<ErrorCode>(error));
                return DeviceGone(error) ? PortEventWait::Gone : PortEventWait::Failed;
            }
            waitPending = true;
        }
    }
    // Input already queued is the event, whether or not the wait has seen it: bytes that came
    // while a command was written, or while the wait was not out.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle, &errors, &status)) {
        const DWORD error = ::GetLastError();
        platform::SetLastError(static_cast<ErrorCode>(error));
        return DeviceGone(error) ? PortEventWait::Gone : PortEventWait::Failed;
    }
    // A wait that completed at once is an event too; the receiver looks at the count.
    eventThere = status.cbInQue > 0 || !waitPending;
    return eventThere ? PortEventWait::EventThere : PortEventWait::Pending;
}

PortEventWait SerialPort::WaitCommEvent() {
    if (TakePortFault(PortCall::WaitEvent)) {
        return DeviceGone(static_cast<DWORD>(platform::GetLastError())) ? PortEventWait::Gone
                                                                        : PortEventWait::Failed;
    }
    std::uint32_t mask = 0;
    if (!GetMask(mask)) {
        return PortEventWait::Failed;
    }
    if ((mask & EV_RXCHAR) == 0) {
        platform::SetLastError(ERROR_INVALID_PARAMETER);
        return PortEventWait::NothingToWatch;
    }
    return m_impl->StartWait();
}

PortWake WaitLowest(const Event& stop, SerialPort* port, const Event& send) {
    PortWake wake;
    if (TakePortFault(PortCall::WaitEvent)) {
        return wake;
    }
    SerialPort::Impl* const p = port ? port->m_impl.get() : nullptr;
    for (;;) {
        if (p && p->eventThere) {
            // The port's event is there already: only a stop request comes before it.
            p->eventThere = false;
            wake.index = stop.IsSet() ? 0 : 1;
            wake.input = wake.index == 1;
            return wake;
        }
        HANDLE handles[3];
        int indexOf[3];
        DWORD count = 0;
        handles[count] = stop.Native();
        indexOf[count++] = 0;
        if (p && p->waitPending) {
            handles[count] = p->wait.Event();
            indexOf[count++] = 1;
        }
        handles[count] = send.Native();
        indexOf[count++] = 2;
        // The lowest index among the signalled handles.
        const DWORD ready = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (ready >= WAIT_OBJECT_0 + count) {
            platform::SetLastError(static_cast<ErrorCode>(::GetLastError()));
            return wake;
        }
        wake.index = indexOf[ready - WAIT_OBJECT_0];
        if (wake.index != 1) {
            return wake;
        }
        DWORD transferred = 0;
        if (GetOverlappedResult(p->handle, &p->wait.overlapped, &transferred, FALSE)) {
            p->waitPending = false;
            wake.input = true;  // the receiver counts the bytes before it reads any
            return wake;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_INCOMPLETE) {
            p->AbandonWait();  // its event is set but it is not over (Wine): not to be waited on
        }
        p->waitPending = false;
        if (error != ERROR_OPERATION_ABORTED && error != ERROR_IO_INCOMPLETE) {
            platform::SetLastError(static_cast<ErrorCode>(error));
            wake.gone = DeviceGone(error);
            return wake;
        }
        // Wine ends a wait on a pseudo-terminal after a few milliseconds with nothing (its
        // modem-status query fails there): look again with a new wait, which also finds input
        // that came meanwhile. Each pass waits in the system; none spins.
        switch (p->StartWait()) {
            case PortEventWait::EventThere:  // served at the top of the loop
            case PortEventWait::Pending:
                continue;
            case PortEventWait::Gone:
                wake.gone = true;
                return wake;
            default:
                return wake;  // the monitor thread's next wait reports the failure
        }
    }
}

}  // namespace platform
