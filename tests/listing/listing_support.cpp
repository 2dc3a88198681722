#include "listing_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

TempDir::TempDir() {
    char pattern[] = "/tmp/vexlarin-listing-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

SimulatedCamera::SimulatedCamera(const std::string& logPath,
                                 const std::vector<std::string>& options)
    : m_log(logPath) {
    std::vector<std::string> args{"--log", logPath};
    args.insert(args.end(), options.begin(), options.end());
    m_process = std::make_unique<CamsimProcess>(args);
}

SimulatedCamera::~SimulatedCamera() {
    Stop();
}

int SimulatedCamera::Exchanges() const {
    const std::string log = ReadFileText(m_log);
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

void SimulatedCamera::Stop() {
    if (m_process) {
        m_process->Stop();
    }
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
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) {
            return false;
        }
        const std::string line = text.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos) {
            return false;
        }
        lines.push_back(line);
        start = end + 2;
    }
    return true;
}
