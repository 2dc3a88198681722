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
        const std::string group = platform::DeviceGroupName(device);
        text += group.empty()
                    ? " (the user must be in the group that owns the device)"
                    : " (the user must be in the group \"" + group + "\" that owns the device)";
    }
    return text;
}

}  // namespace ports
