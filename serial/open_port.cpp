// CSerialLink's life and its port configuration.
#include <cstdio>

#include "platform/last_error.h"
#include "ports/open_error.h"
#include "ports/port_map.h"
#include "ports/visible_text.h"
#include "serial/serial_link.h"

namespace {

// Applies the time-outs, the event mask and the line settings in order, stopping at the first
// step that fails. Returns that step's operation text, or null when every step succeeded.
const char* ConfigurePort(platform::SerialPort& port, platform::PortTimeouts& timeouts,
                          std::uint32_t eventMask, platform::PortState& dcb, const char* settings) {
    timeouts = {1000, 1000, 1000, 1000, 1000};
    if (!port.SetTimeouts(timeouts)) {
        return "SetCommTimeouts()";
    }
    if (!port.SetMask(eventMask)) {
        return "SetCommMask()";
    }
    if (!port.GetState(dcb)) {
        return "GetCommState()";
    }
    dcb.rtsControl = platform::RTS_CONTROL_ENABLE;
    if (!platform::BuildPortState(settings, dcb)) {
        return "BuildCommDCB()";
    }
    if (!port.SetState(dcb)) {
        return "SetCommState()";
    }
    return nullptr;
}

}  // namespace

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

    m_sendBuffer = std::make_unique<std::uint8_t[]>(sendBufferSize);
    m_portNumber = portNumber;
    m_sendBufferSize = sendBufferSize;

    const char* failedStep = nullptr;
    platform::ErrorCode failedError = 0;
    // A port that went away stays gone until it opens again; any other port starts afresh.
    const bool stillGone = m_portGone.load() && m_gonePort == portNumber;
    m_portGone.store(false);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hPort.reset();
        m_portDead = false;

        char portName[32];
        std::snprintf(portName, sizeof portName, "COM%d", portNumber);
        char settings[80];
        std::snprintf(settings, sizeof settings, "baud=%d parity=%c data=%d stop=%d", baud, parity,
                      dataBits, stopBits);

        const bool mapped = portNumber >= 1 && portNumber <= 4 &&
                            !m_mappedDevices[static_cast<std::size_t>(portNumber - 1)].empty();
        const ports::PortDevice device =
            mapped ? ports::PortDevice{m_mappedDevices[static_cast<std::size_t>(portNumber - 1)],
                                       ports::PortSource::Environment, "", ""}
                   : ports::ResolvePortName(portName);
        m_devicePath = device.path;
        m_unavailable = device.unavailable;
        if (m_unavailable.empty() && ports::HasControlCharacter(m_devicePath)) {
            // The system would take the path only up to a NUL: some other device.
            m_unavailable = "the device's path holds a control character";
        }
        if (!m_unavailable.empty()) {
            m_openError = platform::NoPortError();
            platform::SetLastError(m_openError);
            return false;
        }
        m_hPort = platform::SerialPort::Open(m_devicePath, m_openError);
        if (!m_hPort) {
            m_portGone.store(stillGone);
            return false;  // silent: the caller decides what a missing port means
        }

        failedStep = ConfigurePort(*m_hPort, m_timeouts, eventMask, m_dcb, settings);
        if (failedStep) {
            failedError = platform::GetLastError();
        }
    }
    // The warning box runs an event loop that may call back into the dialog: never show it
    // with the lock held. The purge follows it, so that the port starts clean even when the
    // box stayed open for a while.
    if (failedStep) {
        platform::SetLastError(failedError);
        ReportError(failedStep, "");
    }
    std::lock_guard<std::mutex> guard(m_lock);
    // The box's event loop may have let the user open another port, or fail to: purge what is
    // open now and say whether a port is.
    if (!m_hPort) {
        return false;
    }
    m_hPort->Purge();  // a failed purge is not worth a warning
    return true;
}

std::string CSerialLink::OpenFailureText() const {
    if (!m_unavailable.empty()) {
        return m_unavailable;
    }
    return m_openError == 0 ? "" : ports::OpenErrorText(m_openError, m_devicePath);
}

std::string CSerialLink::PortGoneText() const {
    return "COM" + std::to_string(m_portNumber) + " (" + ports::VisibleText(m_devicePath) +
           "): the device is gone";
}

void CSerialLink::MapPort(int port, const std::string& device) {
    if (port >= 1 && port <= 4) {
        m_mappedDevices[static_cast<std::size_t>(port - 1)] = device;
    }
}

void CSerialLink::Cancel() {
    m_cancelled.store(true);
    m_hCancelEvent.Set();
}

void CSerialLink::ResetCancel() {
    m_hCancelEvent.Reset();
    m_cancelled.store(false);
}

bool CSerialLink::PauseUnlessCancelled(int ms) {
    return !m_hCancelEvent.Wait(ms);
}
