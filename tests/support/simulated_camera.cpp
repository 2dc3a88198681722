#include "support/simulated_camera.h"

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "support/support_failure.h"

TempDir::TempDir() {
    char pattern[] = "/tmp/vexlarin-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        SupportFailure("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

SimulatedCamera::SimulatedCamera(const std::string& logPath,
                                 const std::vector<std::string>& options,
                                 const std::string& errorFile, const std::string& program)
    : m_log(logPath) {
    std::vector<std::string> argv{program};
    if (!logPath.empty()) {
        argv.insert(argv.end(), {"--log", logPath});
    }
    argv.insert(argv.end(), options.begin(), options.end());
    ChildOptions child;
    child.errorFile = errorFile;
    m_process = std::make_unique<ChildProcess>(argv, child);
    // The child prints the path once the terminal is ready.
    if (!m_process->ReadLine(m_device) || m_device.empty()) {
        SupportFailure(program + " printed no device path");
    }
}

void SimulatedCamera::Stop() {
    m_process->Signal(SIGTERM);
    m_process->Wait();
}

int SimulatedCamera::Exchanges() const {
    const std::string log = m_log.empty() ? "" : ReadFileText(m_log);
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

std::string ExpectedLine(int page, int line) {
    char text[8];
    std::snprintf(text, sizeof text, "%X0    ", line);
    std::string result = text;
    for (int i = 0; i < 16; ++i) {
        std::snprintf(text, sizeof text, "%02X ", (16 * page + 16 * line + i + 2) % 256);
        result += text;
    }
    return result;
}

bool SplitCrLf(const std::string& text, std::vector<std::string>& lines) {
    lines.clear();
    for (std::size_t start = 0; start < text.size();) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) {
            return false;
        }
        lines.push_back(text.substr(start, end - start));
        if (lines.back().find_first_of("\r\n") != std::string::npos) {
            return false;
        }
        start = end + 2;
    }
    return true;
}
