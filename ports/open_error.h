// Why a port did not open, in words a user can act on: what the window's tooltips and
// vexlarin-list say for a port that is not offered.
#pragma once

#include <string>

#include "platform/last_error.h"

namespace ports {

// The system's text for `error` (what the open of `device` failed with), but "not a serial
// device" for anything that is no port (a file, /dev/null, a FIFO); a busy port is "held by
// another program", and for a port the user may not open, the group to join is named where
// that group may open it.
std::string OpenErrorText(platform::ErrorCode error, const std::string& device);

}  // namespace ports
