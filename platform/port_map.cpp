#include "platform/port_map.h"

#include <cstdlib>

namespace platform {

std::string PortDevicePath(const std::string& portName) {
    if (portName.size() != 4 || portName.compare(0, 3, "COM") != 0 || portName[3] < '1' ||
        portName[3] > '4') {
        return "";
    }
    const std::string variable = "VEXLARIN_" + portName;
    if (const char* mapped = std::getenv(variable.c_str()); mapped && *mapped) {
        return mapped;
    }
    return "/dev/ttyS" + std::to_string(portName[3] - '1');
}

}  // namespace platform
