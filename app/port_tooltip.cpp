#include "app/port_tooltip.h"

#include "platform/open_error.h"

std::string PortToolTip(int port, const std::string& device, int openError) {
    std::string text = "COM" + std::to_string(port) + ": " + device;
    if (openError != 0) {
        text += "\nNot available: " + platform::OpenErrorText(openError, device);
    }
    return text;
}
