#include "serial/port_choice.h"

#include "platform/serial_port.h"

bool OpenListingPort(CSerialLink& link, int port) {
    return link.OpenPort(port, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);
}

PortProbe ProbePorts(CSerialLink& link, const std::function<void(int, bool)>& tried) {
    PortProbe probe;
    // Highest first, so that the lowest port that opens is the one chosen.
    for (int port = 4; port >= 1; --port) {
        const bool opened = OpenListingPort(link, port);
        probe.opened[static_cast<std::size_t>(port - 1)] = opened;
        if (tried) {
            tried(port, opened);
        }
        if (opened) {
            probe.lowest = port;
        }
    }
    if (probe.lowest != 0) {
        probe.open = OpenListingPort(link, probe.lowest);
        if (tried) {
            tried(probe.lowest, probe.open);
        }
    }
    return probe;
}
