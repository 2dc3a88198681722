#include "ports/open_error.h"

#include "platform/serial_devices.h"

namespace ports {

std::string OpenErrorText(platform::ErrorCode error, const std::string& device) {
    const platform::OpenFailure kind = platform::KindOfOpenFailure(error);
    if (kind == platform::OpenFailure::NotSerial) {
        return "not a serial device";
    }
    std::string text = platform::SystemErrorText(error);
    // It stands inside a line here: without the line break Windows' texts end with.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    if (kind == platform::OpenFailure::Busy) {
        text += " (held by another program)";
    } else if (kind == platform::OpenFailure::AccessDenied) {
        // Serial devices are opened through their group; naming it tells the user what to ask.
        // Named only where that group may open the device: any other advice would mislead.
        if (const std::string group = platform::DeviceGroupName(device); !group.empty()) {
            text += " (the user must be in the group \"" + group + "\" that owns the device)";
        }
    }
    return text;
}

}  // namespace ports
