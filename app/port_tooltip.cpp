#include "app/port_tooltip.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "platform/serial_port.h"

std::string DeviceGroupName(const std::string& device) {
    struct stat st;
    if (device.empty() || stat(device.c_str(), &st) != 0) {
        return "";
    }
    group entry;
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->gr_name;
    }
    return std::to_string(st.st_gid);
}

std::string PortToolTip(int port, const std::string& device, int openError) {
    std::string text = "COM" + std::to_string(port) + ": " + device;
    if (openError == 0) {
        return text;
    }
    text += "\nNot available: ";
    text += platform::OpenErrorText(openError);
    if (openError == EBUSY) {
        text += " (held by another program)";
    } else if (openError == EACCES) {
        // Serial devices are opened through their group; naming it tells the user what to ask.
        const std::string group = DeviceGroupName(device);
        text += group.empty()
                    ? " (the user must be in the group that owns the device)"
                    : " (the user must be in the group \"" + group + "\" that owns the device)";
    }
    return text;
}
