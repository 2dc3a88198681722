// Runs the built vexlarin-camsim as a child process for a test, and talks to terminals.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class CamsimProcess {
public:
    // Starts the simulator with `args` and reads the device path it prints. Standard error goes
    // to `stderrPath` when given.
    explicit CamsimProcess(const std::vector<std::string>& args,
                           const std::string& stderrPath = "");
    ~CamsimProcess();  // terminates and reaps the child if it still runs
    CamsimProcess(const CamsimProcess&) = delete;
    CamsimProcess& operator=(const CamsimProcess&) = delete;

    const std::string& DevicePath() const { return m_device; }
    // Sends SIGTERM and returns the exit status (-1 when it did not exit normally).
    int Stop();
    // Waits for the child to end by itself; its exit status as above.
    int Wait();

private:
    pid_t m_pid = -1;
    std::string m_device;
};

// Runs the simulator to completion (for --help and bad command lines); its standard output.
int RunCamsim(const std::vector<std::string>& args, std::string& output);

// A fresh temporary path (not created) under the test's temporary directory.
std::string TempPath(const std::string& name);
std::vector<std::string> ReadLines(const std::string& path);

// Opens a terminal device in raw mode, or -1.
int OpenRaw(const std::string& path);
// Reads up to `count` bytes, giving up after `safetyMs` of silence (a safety net only).
std::vector<std::uint8_t> ReadBytes(int fd, std::size_t count, int safetyMs = 10000);
bool WriteHex(int fd, const std::string& hex);
std::string Hex(const std::vector<std::uint8_t>& bytes);
