// CSerialLink's life and its port configuration.
#include <cstdio>

#include "platform/last_error.h"
#include "platform/port_map.h"
#include "serial/serial_link.h"

CSerialLink::CSerialLink(IWarningSink* warnings) : m_warnings(warnings) {}

CSerialLink::~CSerialLink() {
    EndMonitor();
}

void CSerialLink::EndMonitor() {
    if (m_hStopEvent) {
        m_hStopEvent->Set();
    }
    // Joining also ends a thread that was started but has not run yet: the stop event is
    // already set when it first waits.
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CSerialLink::OpenPort(int portNumber, int baud, char parity, int dataBits, int stopBits,
                           std::uint32_t eventMask, std::uint32_t sendBufferSize) {
    EndMonitor();

    // Fresh, non-signalled events; the previous open's are released with them.
    m_hSendEvent = std::make_unique<platform::Event>();
    m_hByteEvent = std::make_unique<platform::Event>();
    m_hStopEvent = std::make_unique<platform::Event>();
    m_waitHandles = {m_hStopEvent->Fd(), -1, m_hSendEvent->Fd()};

    m_sendBuffer = std::make_unique<std::uint8_t[]>(sendBufferSize);
    m_portNumber = portNumber;
    m_sendBufferSize = sendBufferSize;

    const char* failedStep = nullptr;
    int failedError = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hPort.reset();
        m_portDead = false;

        char portName[32];
        std::snprintf(portName, sizeof portName, "COM%d", portNumber);
        char settings[80];
        std::snprintf(settings, sizeof settings, "baud=%d parity=%c data=%d stop=%d", baud, parity,
                      dataBits, stopBits);

        m_devicePath = platform::PortDevicePath(portName);
        m_hPort = platform::SerialPort::Open(m_devicePath, m_openError);
        if (!m_hPort) {
            return false;  // silent: the caller decides what a missing port means
        }
        m_waitHandles[1] = m_hPort->Fd();

        m_timeouts = {1000, 1000, 1000, 1000, 1000};
        if (!m_hPort->SetTimeouts(m_timeouts)) {
            failedStep = "SetCommTimeouts()";
        } else if (!m_hPort->SetMask(eventMask)) {
            failedStep = "SetCommMask()";
        } else if (!m_hPort->GetState(m_dcb)) {
            failedStep = "GetCommState()";
        } else if (m_dcb.rtsControl = platform::RTS_CONTROL_ENABLE;
                   !platform::BuildPortState(settings, m_dcb)) {
            failedStep = "BuildCommDCB()";
        } else if (!m_hPort->SetState(m_dcb)) {
            failedStep = "SetCommState()";
        }
        if (failedStep) {
            failedError = platform::GetLastError();
        }
        m_hPort->Purge();
    }
    // The warning box runs an event loop that may call back into the dialog: never show it
    // with the lock held.
    if (failedStep) {
        platform::SetLastError(failedError);
        ReportError(failedStep, "");
    }
    return true;
}

void CSerialLink::Cancel() {
    m_cancelled.store(true);
    m_hCancelEvent.Set();
}

bool CSerialLink::PauseUnlessCancelled(int ms) {
    return !m_hCancelEvent.Wait(ms);
}
