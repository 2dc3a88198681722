// The "COM n" label's tooltip: which device the port stands for and, when it did not open,
// why, in the system's words, so that a user can see why a port is not offered.
#pragma once

#include <string>

// `device` is the path the open tried; `failure` why it failed, empty when the port opened.
// Both are shown with their control characters made visible.
std::string PortToolTip(int port, const std::string& device, const std::string& failure);
