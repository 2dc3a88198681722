// The one warning format of the tool.
#include <cstdio>
#include <cstring>

#include "platform/last_error.h"
#include "serial/serial_link.h"

void CSerialLink::ReportError(const char* operation, const char* detail) {
    // Taken first: nothing below may change the reason being reported.
    const int code = platform::GetLastError();
    // The device has gone away during this listing and said so: the failures that follow from
    // it would only bury that one message.
    if (m_portGone.load() && m_threadAlive.load()) {
        return;
    }
    if (operation == nullptr) {
        operation = "";
    }
    // A detail of more than two characters says more than the system's text for the code.
    const bool useDetail = detail != nullptr && std::strlen(detail) > 2;
    ShowReport(operation, useDetail ? detail : platform::SystemErrorText(code));
}

void CSerialLink::ShowReport(const char* operation, const std::string& reason) {
    // The user has stopped: a failure still on its way (the port hanging up as the camera is
    // switched off with the program) is no news to them.
    if (IsCancelled()) {
        return;
    }
    // Composed as a growing string: a long system text is never cut.
    const std::string text = "WARNING:  " + std::string(operation) +
                             " Failed with the following error: \n" + reason +
                             "\nPort: " + std::to_string(m_portNumber) + "\n";
    if (m_warnings) {
        m_warnings->ShowWarning("Application Error", text);
    } else {
        std::fprintf(stderr, "Application Error: %s", text.c_str());
    }
}
