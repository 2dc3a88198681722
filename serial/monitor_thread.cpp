// The monitor thread: while a listing runs, the only code that reads and writes the port. It
// serves a stop request before a port event before a send request.
#include <cerrno>
#include <system_error>

#include "platform/last_error.h"
#include "platform/port_wait.h"
#include "serial/serial_link.h"

bool CSerialLink::StartMonitor() {
    if (!m_hStopEvent) {
        return false;  // never opened: there are no events to serve
    }
    if (m_thread.joinable()) {
        return true;  // one is already serving this open; a second would race it on the port
    }
    try {
        m_thread = std::thread(&CSerialLink::MonitorThread, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CSerialLink::MonitorThread(CSerialLink* link) {
    link->m_threadAlive.store(true);
    if (link->m_hPort) {
        link->m_hPort->Purge();
    }
    for (;;) {
        // The port takes part in the wait only while a port-event wait is really under way.
        std::array<int, 3> handles = link->m_waitHandles;
        handles[1] = -1;
        if (!link->m_portDead) {
            const platform::PortEventWait wait = platform::WaitCommEvent(link->m_hPort.get());
            if (wait == platform::PortEventWait::EventThere) {
                int count = 0;
                if (!link->m_hPort->InputCount(count) || count <= 0) {
                    continue;  // the event carried no input: start a new wait at once
                }
                handles[1] = link->m_hPort->Fd();
            } else if (wait == platform::PortEventWait::Pending) {
                handles[1] = link->m_hPort->Fd();
            } else {
                const int code = platform::GetLastError();
                if (code == EIO && link->m_hPort) {
                    link->ReportPortGone("WaitCommEvent()", code);
                } else if (code != EINVAL) {  // EINVAL: the mask watches nothing
                    link->ReportFailure("WaitCommEvent()", code);
                }
            }
        }

        short revents = 0;
        switch (platform::WaitLowest(handles, revents)) {
            case 0:
                // Nothing after this touches the link: OpenPort may rebuild it once it is seen.
                link->m_threadAlive.store(false);
                return;
            case 1:
                if (revents & POLLIN) {
                    std::uint32_t mask = 0;
                    if (link->m_hPort->GetMask(mask) && (mask & platform::EV_RXCHAR)) {
                        ReceivePending(link);
                    }
                }
                if ((revents & platform::kPortGone) && !link->m_portDead) {
                    link->ReportPortGone("WaitCommEvent()", EIO);
                }
                break;
            case 2:
                TransmitPending(link);
                break;
            default:
                break;  // a failed wait is not reported; the loop starts over
        }
    }
}

void CSerialLink::ReportFailure(const char* operation, int code) {
    platform::SetLastError(code);
    ReportError(operation, "");
}

void CSerialLink::ReportPortGone(const char* operation, int code) {
    m_portDead = true;
    ReportFailure(operation, code != 0 ? code : EIO);
}
