// Which device a COM port stands for. COMn (n 1 to 4) is, in this order: the device named by
// VEXLARIN_COMn (set and not empty), the one the user's port file names, the system's own COMn
// (/dev/ttyS{n-1} on Linux, \\.\COMn on Windows). Any other name stands for no device. A port
// whose line in the port file cannot be used (or whose port file cannot be read) is unavailable:
// never the system's own COMn in its place.
#pragma once

#include <string>

namespace ports {

enum class PortSource { None, Environment, PortFile, Default };

struct PortDevice {
    std::string path;  // empty: no device
    PortSource source = PortSource::None;
    // Where the mapping comes from, in words: "VEXLARIN_COM2", "FILE line 3", "default".
    std::string origin;
    // Why the port cannot be opened at all ("FILE line 3: ..."); empty when it can be tried.
    std::string unavailable;
};

PortDevice ResolvePort(int port);

// As ResolvePort for "COM1" to "COM4"; no device for any other name (COM0, COM5, ...).
PortDevice ResolvePortName(const std::string& portName);

}  // namespace ports
