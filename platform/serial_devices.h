// The machine's serial devices: which are present, with a name a user recognises; which device
// COMn is when nothing else is said; and why one did not open, in kinds a user can act on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace platform {

struct DetectedPort {
    std::string path;         // what a port should be mapped to
    std::string kernelName;   // ttyUSB0, ttyACM0, ttyS0; COM3 on Windows
    std::string description;  // "FTDI FT232R USB UART, serial A1B2C3", "16550A UART"
};

// The serial devices present, sorted by kernel name: on Linux USB adapters and ACM devices under
// their /dev/serial/by-id name with maker, model and serial number, legacy ttyS ports only where
// a UART is really behind them (read from VEXLARIN_SYSFS_ROOT and VEXLARIN_DEV_ROOT where set,
// /sys and /dev otherwise); on Windows the registry's list of serial devices. `stopped`, where
// given, is asked between devices: once it says true, the search ends with what it has.
std::vector<DetectedPort> DetectSerialPorts(const std::function<bool()>& stopped = {});

// The device COMn (n 1 to 4) stands for when nothing else is said: /dev/ttyS{n-1}, \\.\COMn.
std::string DefaultPortDevice(int port);

// Whether `path` names a device in full, not relative to a current directory: on POSIX a path
// from /; on Windows one in the device namespace (\\.\COM5), on a drive (C:\...) or a share.
bool IsFullDevicePath(const std::string& path);

// Why a device did not open.
enum class OpenFailure {
    Missing,       // no such device
    Busy,          // another program holds it
    AccessDenied,  // the user may not open it
    NotSerial,     // a file, a null device, a FIFO: no port
    Other,
};
OpenFailure KindOfOpenFailure(ErrorCode error);

// The name of the group whose members may open `device` (its number when the group has no
// name); empty where the system has no such group, the group may not both read and write the
// device, or the device cannot be looked at.
std::string DeviceGroupName(const std::string& device);

}  // namespace platform
