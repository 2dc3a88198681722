// The simulated camera's event loop: reads commands from the terminal, answers them with the
// timing faults applied, logs every exchange, and returns when a signal arrives.
#pragma once

#include <cstdio>

#include "camsim_options.h"
#include "camsim_pty.h"

namespace camsim {

// Runs until a stop signal is waiting on `signalFd` (what platform::StopSignals waits on), or
// a hang-up fault; `log` may be null. Returns the exit status; reasons for failing go to stderr.
int RunCamera(const Options& options, const CameraMemory& memory, Pty& pty, int signalFd,
              std::FILE* log);

}  // namespace camsim
