#include "app/port_tooltip.h"

#include "ports/visible_text.h"

std::string PortToolTip(int port, const std::string& device, const std::string& failure) {
    std::string text = "COM" + std::to_string(port) + ": " + ports::VisibleText(device);
    if (!failure.empty()) {
        text += "\nNot available: " + ports::VisibleText(failure);
    }
    return text;
}
