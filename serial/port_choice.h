// Opening a port for a listing, and choosing the port at start: what the window and
// vexlarin-list do alike.
#pragma once

#include <array>
#include <functional>

#include "serial/serial_link.h"

// Opens COMn with the line settings every listing uses: 9600 baud, no parity, 8 data bits,
// 1 stop bit, received characters watched, a 512-byte transmit buffer.
bool OpenListingPort(CSerialLink& link, int port);

struct PortProbe {
    int lowest = 0;  // the lowest-numbered port that opened; 0: none
    std::array<bool, 4> opened{};
    bool open = false;  // the lowest is open on the link again (it may have gone meanwhile)
};

// Tries COM4, COM3, COM2 and COM1 in turn, then opens the lowest that opened again (the COM1
// probe closed it). `tried` hears of each open as it is made (the port, whether it opened),
// while the link still says which device it tried and why that did not open.
PortProbe ProbePorts(CSerialLink& link, const std::function<void(int, bool)>& tried = {});
