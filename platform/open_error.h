// Why a port did not open, in words a user can act on: what the window's tooltips and
// vexlarin-list say for a port that is not offered.
#pragma once

#include <string>

namespace platform {

// The system's text for `error` (the errno of the open of `device`), but "not a serial device"
// for anything that is no terminal (a file, /dev/null, a FIFO); a busy port is "held by another
// program", and for a port the user may not open, the group that owns `device` is named.
std::string OpenErrorText(int error, const std::string& device);

// The name of the group that owns `device` (its number when the group has no name); empty
// when the device cannot be looked at.
std::string DeviceGroupName(const std::string& device);

}  // namespace platform
