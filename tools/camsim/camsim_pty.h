// The pseudo-terminal the simulated camera answers on.
#pragma once

#include <string>

namespace camsim {

struct Pty {
    int master = -1;   // the camera's end: commands come in, replies go out
    int device = -1;   // held open so that the tool's closing of the port never hangs up
    std::string path;  // the device side, for the tool to open
};

// Opens a pseudo-terminal with its device side in raw mode (a fresh one echoes, and the camera
// would read its own replies back). False with the failing step and the reason.
bool OpenPty(Pty& pty, std::string& error);
void ClosePty(Pty& pty);

}  // namespace camsim
