#include "cli/port_report.h"

#include <cstdio>
#include <string>

#include "platform/serial_devices.h"
#include "platform/serial_port.h"
#include "ports/open_error.h"
#include "ports/port_file.h"
#include "ports/port_map.h"
#include "ports/visible_text.h"

namespace {

// Text from outside with its control characters made visible, for one printf argument: valid
// until the end of the full expression that calls it.
const char* Shown(const std::string& text, std::string&& shown = {}) {
    shown = ports::VisibleText(text);
    return shown.c_str();
}

}  // namespace

void PrintPortFileProblems() {
    for (const std::string& problem : ports::ReadPortFile(ports::PortFilePath()).problems) {
        std::fprintf(stderr, "vexlarin-list: %s\n", problem.c_str());
    }
}

int ShowPorts() {
    PrintPortFileProblems();
    for (int port = 1; port <= 4; ++port) {
        const ports::PortDevice device = ports::ResolvePort(port);
        std::string state = "unavailable: " + device.unavailable;
        if (device.unavailable.empty()) {
            platform::ErrorCode error = 0;
            // Opened and let go at once: the device is neither configured nor written to.
            const bool opens = platform::SerialPort::Open(device.path, error) != nullptr;
            state = opens ? "opens" : "does not open: " + ports::OpenErrorText(error, device.path);
        }
        std::printf("COM%d  %s\n      from %s; %s\n", port, Shown(device.path),
                    Shown(device.origin), Shown(state));
    }
    std::printf("Serial devices found:\n");
    const std::vector<platform::DetectedPort> found = platform::DetectSerialPorts();
    for (const platform::DetectedPort& device : found) {
        // The maker, model and serial number are the device's own strings: anything may be in
        // them, an escape sequence that clears the screen too.
        std::printf("  %s  %s (%s)\n", Shown(device.path), Shown(device.description),
                    Shown(device.kernelName));
    }
    if (found.empty()) {
        std::printf("  none\n");
    }
    return 0;
}
