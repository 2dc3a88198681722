// vexlarin-camsim: a simulated DV camera on a pseudo-terminal. See --help.
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "camsim_loop.h"
#include "camsim_memory.h"
#include "camsim_options.h"
#include "camsim_pty.h"
#include "platform/process.h"
#include "platform/stop_signals.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "vexlarin-camsim: %s\n", message.c_str());
    return 1;
}

// Makes `link` point at `target`. Only a symlink (a stale one from an earlier run) is replaced;
// anything else at that path is left alone.
bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = "--link " + link + ": exists and is not a symlink";
            return false;
        }
        if (unlink(link.c_str()) != 0) {
            error = "unlink() of " + link + " failed: " + std::strerror(errno);
            return false;
        }
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "symlink() " + link + " failed: " + std::strerror(errno);
        return false;
    }
    return true;
}

// Removes the link only while it still points at our terminal; another run may own it now.
void RemoveLink(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n >= 0 && std::string(buffer, static_cast<std::size_t>(n)) == target) {
        unlink(link.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Its device path goes to standard output: never into a terminal that took its place.
    platform::OpenStandardDescriptors();
    camsim::Options options;
    std::string error;
    if (!camsim::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "vexlarin-camsim: %s\nTry 'vexlarin-camsim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(camsim::UsageText().c_str(), stdout);
        return 0;
    }

    if (options.baud > 0) {
        // Paced bytes are due at exact times; the kernel's default timer slack would make
        // every deadline late by up to 50 us.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    }

    camsim::CameraMemory memory;
    if (!options.image.empty() && !memory.LoadImage(options.image, error)) {
        return Fail(error);
    }

    // The program's own stop signals, waited on beside the terminal: the first ends the loop.
    platform::StopSignals stop;
    platform::IgnoreWriteSignals();

    std::FILE* log = nullptr;
    if (!options.log.empty()) {
        log = std::fopen(options.log.c_str(), "a");
        if (!log) {
            return Fail("cannot open log " + options.log + ": " + std::strerror(errno));
        }
    }

    camsim::Pty pty;
    if (!camsim::OpenPty(pty, error)) {
        return Fail(error);
    }
    if (!options.link.empty() && !MakeLink(options.link, pty.path, error)) {
        camsim::ClosePty(pty);
        return Fail(error);
    }

    // The one line on standard output: scripts read the device path from it.
    std::printf("%s\n", pty.path.c_str());
    std::fflush(stdout);

    const int status = camsim::RunCamera(options, memory, pty, stop.Native(), log);

    if (!options.link.empty()) {
        RemoveLink(options.link, pty.path);
    }
    camsim::ClosePty(pty);
    if (log && std::fclose(log) != 0) {
        return Fail("closing log " + options.log + " failed: " + std::strerror(errno));
    }
    return status;
}
