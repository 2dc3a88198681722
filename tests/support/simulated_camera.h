// What the tests and the benchmark against the simulated camera share: a temporary directory,
// vexlarin-camsim in its own process, and the lines its default memory gives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

// A fresh directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// vexlarin-camsim on its own pseudo-terminal.
class SimulatedCamera {
public:
    // Starts `program` with `options`, logging every exchange to `logPath` unless that is
    // empty, its standard error into `errorFile` (empty: discarded), and reads the device path
    // it prints first.
    explicit SimulatedCamera(const std::string& logPath = "",
                             const std::vector<std::string>& options = {},
                             const std::string& errorFile = "",
                             const std::string& program = VEXLARIN_CAMSIM);
    ~SimulatedCamera() { Stop(); }

    const std::string& DevicePath() const { return m_device; }
    // Exchanges logged so far (it logs each before its reply goes out); 0 without a log.
    int Exchanges() const;
    // Ends it by SIGTERM, so that it removes its --link name and its terminal hangs up.
    void Stop();

private:
    std::string m_log;
    std::unique_ptr<ChildProcess> m_process;
    std::string m_device;
};

// The text of line `line` of page `page` when the camera holds its default memory, where
// the byte i of line r on page p is 16p + 16r + i + 2 (mod 256).
std::string ExpectedLine(int page, int line);

// Splits the file text into lines at CR LF; false when a line ends otherwise.
bool SplitCrLf(const std::string& text, std::vector<std::string>& lines);
