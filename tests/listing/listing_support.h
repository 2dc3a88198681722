// What the listing tests share: a temporary directory, the simulated camera in its own
// process, and the lines its memory must give.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "tools/camsim_process.h"

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

// vexlarin-camsim on its own pseudo-terminal, logging every exchange to `logPath`.
class SimulatedCamera {
public:
    SimulatedCamera(const std::string& logPath, const std::vector<std::string>& options = {});
    ~SimulatedCamera();
    const std::string& DevicePath() const { return m_process->DevicePath(); }
    // Exchanges the camera has logged so far (it logs each before its reply goes out).
    int Exchanges() const;
    // Ends the simulator; its terminal hangs up.
    void Stop();

private:
    std::string m_log;
    std::unique_ptr<CamsimProcess> m_process;
};

// The text of line `line` of page `page` when the camera holds its default memory, where
// the byte i of line r on page p is 16p + 16r + i + 2 (mod 256).
std::string ExpectedLine(int page, int line);

// Splits the file text into lines at CR LF; false when a line ends otherwise.
bool SplitCrLf(const std::string& text, std::vector<std::string>& lines);
