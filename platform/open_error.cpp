#include "platform/open_error.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "platform/last_error.h"

namespace platform {

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

std::string OpenErrorText(int error, const std::string& device) {
    if (error == ENOTTY) {
        return "not a serial device";
    }
    std::string text = SystemErrorText(error);
    if (error == EBUSY) {
        text += " (held by another program)";
    } else if (error == EACCES) {
        // Serial devices are opened through their group; naming it tells the user what to ask.
        const std::string group = DeviceGroupName(device);
        text += group.empty()
                    ? " (the user must be in the group that owns the device)"
                    : " (the user must be in the group \"" + group + "\" that owns the device)";
    }
    return text;
}

}  // namespace platform
