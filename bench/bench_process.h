// The benchmark's child processes: the simulated camera and the timed lister.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// vexlarin-camsim running on its own pseudo-terminal until Stop.
class Simulator {
public:
    // Starts it, its standard error into `errPath`, and reads the device path it prints;
    // `error` says why when that fails.
    Simulator(const std::vector<std::string>& argv, const std::string& errPath, std::string& error);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    const std::string& Device() const { return m_device; }
    void Stop();

private:
    pid_t m_pid = -1;
    std::string m_device;
};

struct ChildResult {
    int status = -1;   // exit status, or 128 + the signal that ended it
    double wallS = 0;  // from just before the fork to the child's end
    double cpuS = 0;   // the child's user + system time
};

// Runs `argv` in `dir` with `env` added to this process's environment, standard output and
// error into dir/list.out and dir/list.err; `error` says why when it cannot be run.
ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& dir, std::string& error);

// The processor count, the CPU model, the kernel and the load, for the figures' record.
std::string MachineText();
