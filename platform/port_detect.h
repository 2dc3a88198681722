// The serial devices present, each with a name a user recognises: USB adapters and ACM devices
// under their /dev/serial/by-id name with maker, model and serial number, legacy ttyS ports only
// where a UART is really behind them.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct DetectedPort {
    std::string path;         // what a port should be mapped to
    std::string kernelName;   // ttyUSB0, ttyACM0, ttyS0
    std::string description;  // "FTDI FT232R USB UART, serial A1B2C3", "16550A UART"
};

// Reads sysfs under `sysRoot` (normally /sys) and device names under `devRoot` (normally /dev),
// so that tests can hand it a fake tree. Sorted by kernel name.
std::vector<DetectedPort> DetectSerialPorts(const std::string& sysRoot, const std::string& devRoot);

// The same on the roots in VEXLARIN_SYSFS_ROOT and VEXLARIN_DEV_ROOT, /sys and /dev without them.
std::vector<DetectedPort> DetectSerialPorts();

}  // namespace platform
