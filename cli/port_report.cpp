#include "cli/port_report.h"

#include <cstdio>
#include <string>

#include "platform/serial_devices.h"
#include "platform/serial_port.h"
#include "ports/open_error.h"
#include "ports/port_file.h"
#include "ports/port_map.h"

void PrintPortFileProblems() {
    for (const std::string& problem : ports::ReadPortFile(ports::PortFilePath()).problems) {
        std::fprintf(stderr, "vexlarin-list: %s\n", problem.c_str());
    }
}

int ShowPorts() {
    PrintPortFileProblems();
    for (int port = 1; port <= 4; ++port) {
        const ports::PortDevice device = ports::ResolvePort(port);
        platform::ErrorCode error = 0;
        // Opened and let go at once: the device is neither configured nor written to.
        const bool opens = platform::SerialPort::Open(device.path, error) != nullptr;
        const std::string state =
            opens ? "opens" : "does not open: " + ports::OpenErrorText(error, device.path);
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
