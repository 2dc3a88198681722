// Which device a COM port stands for. COMn (n 1 to 4) is, in this order: the device named by
// VEXLARIN_COMn (set and not empty), the one the user's port file names, the system's own COMn
// (/dev/ttyS{n-1} on Linux, \\.\COMn on Windows). Any other name stands for no device.
#pragma once

#include <string>

namespace ports {

enum class PortSource { None, Environment, PortFile, Default };

struct PortDevice {
    std::string path;  // empty: no device
    PortSource source = PortSource::None;
    // Where the mapping comes from, in words: "VEXLARIN_COM2", "FILE line 3", "default".
    std::string origin;
};

PortDevice ResolvePort(int port);

// Empty for a name that maps to no device (COM0, COM5, anything else).
std::string PortDevicePath(const std::string& portName);

}  // namespace ports
