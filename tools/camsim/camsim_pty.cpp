#include "camsim_pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace camsim {

bool OpenPty(Pty& pty, std::string& error) {
    auto fail = [&](const char* step) {
        error = std::string(step) + " failed: " + std::strerror(errno);
        ClosePty(pty);
        return false;
    };
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty.master < 0) {
        return fail("posix_openpt()");
    }
    if (grantpt(pty.master) != 0) {
        return fail("grantpt()");
    }
    if (unlockpt(pty.master) != 0) {
        return fail("unlockpt()");
    }
    char name[128];
    if (ptsname_r(pty.master, name, sizeof name) != 0) {
        return fail("ptsname_r()");
    }
    pty.path = name;
    pty.device = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.device < 0) {
        return fail("open() of the device side");
    }
    termios tio{};
    if (tcgetattr(pty.device, &tio) != 0) {
        return fail("tcgetattr()");
    }
    cfmakeraw(&tio);
    if (tcsetattr(pty.device, TCSANOW, &tio) != 0) {
        return fail("tcsetattr()");
    }
    return true;
}

void ClosePty(Pty& pty) {
    // The master first: the device side's users see the hang-up, not a half-closed terminal.
    if (pty.master >= 0) {
        close(pty.master);
        pty.master = -1;
    }
    if (pty.device >= 0) {
        close(pty.device);
        pty.device = -1;
    }
}

}  // namespace camsim
