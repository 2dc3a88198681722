#include "app/port_tooltip.h"

#include "ports/open_error.h"

std::string PortToolTip(int port, const std::string& device, platform::ErrorCode openError) {
    std::string text = "COM" + std::to_string(port) + ": " + device;
    if (openError != 0) {
        text += "\nNot available: " + ports::OpenErrorText(openError, device);
    }
    return text;
}
