// The monitor thread: while a listing runs, the only code that reads and writes the port. It
// serves a stop request before a port event before a send request.
#include <system_error>

#include "platform/last_error.h"
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
        platform::SerialPort* waiting = nullptr;
        if (!link->m_hPort) {
            link->ReportFailure("WaitCommEvent()", platform::NoPortError());
        } else if (!link->m_portDead) {
            switch (link->m_hPort->WaitCommEvent()) {
                case platform::PortEventWait::EventThere: {
                    int count = 0;
                    if (!link->m_hPort->InputCount(count) || count <= 0) {
                        continue;  // the event carried no input: start a new wait at once
                    }
                    waiting = link->m_hPort.get();
                    break;
                }
                case platform::PortEventWait::Pending:
                    waiting = link->m_hPort.get();
                    break;
                case platform::PortEventWait::NothingToWatch:
                    break;  // the mask watches nothing: only stop and send requests count
                case platform::PortEventWait::Gone:
                    link->ReportPortGone("WaitCommEvent()", platform::GetLastError());
                    break;
                case platform::PortEventWait::Failed:
                    link->ReportFailure("WaitCommEvent()", platform::GetLastError());
                    break;
            }
        }

        const platform::PortWake wake =
            platform::WaitLowest(*link->m_hStopEvent, waiting, *link->m_hSendEvent);
        switch (wake.index) {
            case 0:
                // Nothing after this touches the link: OpenPort may rebuild it once it is seen.
                link->m_threadAlive.store(false);
                return;
            case 1:
                if (wake.input) {
                    std::uint32_t mask = 0;
                    if (link->m_hPort->GetMask(mask) && (mask & platform::EV_RXCHAR)) {
                        ReceivePending(link);
                    }
                }
                if (wake.gone && !link->m_portDead) {
                    link->ReportPortGone("WaitCommEvent()", platform::GetLastError());
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

void CSerialLink::ReportFailure(const char* operation, platform::ErrorCode code) {
    platform::SetLastError(code);
    ReportError(operation, "");
}

void CSerialLink::ReportPortGone(const char* operation, platform::ErrorCode code) {
    m_portDead = true;
    // Said once, in words that name the cause; the system's text (EIO, a bad descriptor) would
    // point elsewhere. The flag first: the time-outs the command meets from now on are no news.
    m_gonePort = m_portNumber;
    m_portGone.store(true);
    platform::SetLastError(code);
    ShowReport(operation, PortGoneText());
}
