// Which device a port name stands for: COMn (n 1 to 4) is the device named by
// VEXLARIN_COMn, else /dev/ttyS{n-1}. Any other name stands for no device.
#pragma once

#include <string>

namespace platform {

// Empty for a name that maps to no device (COM0, COM5, anything else).
std::string PortDevicePath(const std::string& portName);

}  // namespace platform
