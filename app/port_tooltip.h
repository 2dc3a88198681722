// The "COM n" label's tooltip: which device the port stands for and, when it did not open,
// why, in the system's words, so that a user can see why a port is not offered.
#pragma once

#include <string>

#include "platform/last_error.h"

// `device` is the path the open tried; `openError` why it failed, 0 when the port opened.
std::string PortToolTip(int port, const std::string& device, platform::ErrorCode openError);
