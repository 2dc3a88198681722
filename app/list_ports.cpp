#include "app/list_ports.h"

#include <cstdio>
#include <string>

#include "platform/open_error.h"
#include "platform/port_detect.h"
#include "platform/port_file.h"
#include "platform/port_map.h"
#include "platform/serial_port.h"

int ShowPorts() {
    for (const std::string& problem : platform::ReadPortFile(platform::PortFilePath()).problems) {
        std::fprintf(stderr, "vexlarin-list: %s\n", problem.c_str());
    }
    for (int port = 1; port <= 4; ++port) {
        const platform::PortDevice device = platform::ResolvePort(port);
        int error = 0;
        // Opened and let go at once: the device is neither configured nor written to.
        const bool opens = platform::SerialPort::Open(device.path, error) != nullptr;
        const std::string state =
            opens ? "opens" : "does not open: " + platform::OpenErrorText(error, device.path);
        std::printf("COM%d  %s\n      from %s; %s\n", port, device.path.c_str(),
                    device.origin.c_str(), state.c_str());
    }
    std::printf("Serial devices found:\n");
    const std::vector<platform::DetectedPort> found = platform::DetectSerialPorts();
    for (const platform::DetectedPort& device : found) {
        std::printf("  %s  %s (%s)\n", device.path.c_str(), device.description.c_str(),
                    device.kernelName.c_str());
    }
    if (found.empty()) {
        std::printf("  none\n");
    }
    return 0;
}
