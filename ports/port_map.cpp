#include "ports/port_map.h"

#include <cstdlib>

#include "platform/serial_devices.h"
#include "ports/port_file.h"

namespace ports {

PortDevice ResolvePort(int port) {
    if (port < 1 || port > 4) {
        return {};
    }
    const std::string variable = "VEXLARIN_COM" + std::to_string(port);
    if (const char* mapped = std::getenv(variable.c_str()); mapped && *mapped) {
        return {mapped, PortSource::Environment, variable, ""};
    }
    // Read at every open: a file changed by the port dialog or by hand counts at once.
    const PortFile file = ReadPortFile(PortFilePath());
    if (!file.unreadable.empty()) {
        return {"", PortSource::PortFile, file.path, file.unreadable};
    }
    if (const auto& unusable = file.unusable[port - 1]) {
        const std::string& device =
            file.devices[port - 1].empty() ? unusable->device : file.devices[port - 1];
        return {device, PortSource::PortFile, file.path + " line " + std::to_string(unusable->line),
                unusable->reason};
    }
    if (!file.devices[port - 1].empty()) {
        return {file.devices[port - 1], PortSource::PortFile,
                file.path + " line " + std::to_string(file.lineOf[port - 1]), ""};
    }
    return {platform::DefaultPortDevice(port), PortSource::Default, "default", ""};
}

PortDevice ResolvePortName(const std::string& portName) {
    if (portName.size() != 4 || portName.compare(0, 3, "COM") != 0) {
        return {};
    }
    return ResolvePort(portName[3] - '0');
}

}  // namespace ports
