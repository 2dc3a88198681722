#include "ports/port_file.h"

#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "platform/serial_devices.h"

namespace ports {

namespace {
std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// What one line of the file says.
struct Entry {
    int port = 0;  // 1..4 for a COMn line, 0 for anything else
    std::string device;
    std::string problem;  // empty when the line can be used (or is a comment or blank)
};

Entry ParseLine(const std::string& raw) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') {
        return {};
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
        return {0, "", "not understood (lines read COMn=DEVICE): " + line};
    }
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    if (key.size() < 4 || key.compare(0, 3, "COM") != 0 ||
        key.find_first_not_of("0123456789", 3) != std::string::npos) {
        return {0, "", "not understood (lines read COMn=DEVICE): " + line};
    }
    if (key.size() != 4 || key[3] < '1' || key[3] > '4') {
        return {0, "", key + " is not one of COM1 to COM4"};
    }
    Entry entry{key[3] - '0', value, ""};
    if (value.empty()) {
        entry.problem = "no device after " + key + "=";
    } else if (!platform::IsFullDevicePath(value)) {
        entry.problem = key + ": the device must be a full path, not " + value;
    }
    return entry;
}

// The file's lines; nullopt when it exists but cannot be read (`reason` says why).
std::optional<std::vector<std::string>> ReadLines(const std::string& path, bool& missing,
                                                  std::string& reason) {
    std::string text;
    if (!platform::ReadTextFile(path, text, missing, reason)) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

}  // namespace

std::string PortFilePath() {
    const std::string config = platform::UserConfigDirectory();
    // With the system's own separator: %APPDATA%\vexlarin\ports on Windows.
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    return config.empty() ? "" : config + separator + "vexlarin" + separator + "ports";
}

PortFile ReadPortFile(const std::string& path) {
    PortFile file;
    file.path = path;
    if (path.empty()) {
        return file;
    }
    bool missing = false;
    std::string reason;
    const auto lines = ReadLines(path, missing, reason);
    if (!lines) {
        if (!missing) {
            file.problems.push_back(path + ": cannot be read: " + reason);
        }
        return file;
    }
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        Entry entry = ParseLine((*lines)[i]);
        if (entry.problem.empty() && entry.port != 0) {
            const int at = entry.port - 1;
            if (file.lineOf[at] != 0) {
                entry.problem = "COM" + std::to_string(entry.port) + " is given on line " +
                                std::to_string(file.lineOf[at]) + " already";
            } else {
                file.devices[at] = entry.device;
                file.lineOf[at] = number;
            }
        }
        if (!entry.problem.empty()) {
            file.problems.push_back(path + " line " + std::to_string(number) + ": " +
                                    entry.problem);
        }
    }
    return file;
}

bool WritePortFile(const std::string& path, const std::array<std::string, 4>& devices,
                   std::string& error) {
    bool missing = false;
    std::string reason;
    std::vector<std::string> old;
    if (auto lines = ReadLines(path, missing, reason)) {
        old = std::move(*lines);
    } else if (!missing) {
        error = "reading " + path + ": " + reason;
        return false;
    }

    // Each port's entry takes the place of its first line; the user's other lines stay put.
    std::string text;
    std::array<bool, 4> written{};
    for (const std::string& line : old) {
        const int port = ParseLine(line).port;
        if (port == 0) {
            text += line + "\n";
            continue;
        }
        if (!written[port - 1] && !devices[port - 1].empty()) {
            text += "COM" + std::to_string(port) + "=" + devices[port - 1] + "\n";
        }
        written[port - 1] = true;
    }
    for (int port = 1; port <= 4; ++port) {
        if (!written[port - 1] && !devices[port - 1].empty()) {
            text += "COM" + std::to_string(port) + "=" + devices[port - 1] + "\n";
        }
    }

    return platform::ReplaceFile(path, text, error);
}

}  // namespace ports
