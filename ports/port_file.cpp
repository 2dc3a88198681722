#include "ports/port_file.h"

#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "platform/serial_devices.h"
#include "ports/visible_text.h"

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

const char kByteOrderMark[] = "\xEF\xBB\xBF";

// What one line of the file says.
struct Entry {
    int port = 0;  // 1..4 for a COMn line (usable or not), 0 for anything else
    std::string device;
    std::string problem;  // empty when the line can be used (or is a comment or blank)
};

Entry ParseLine(const std::string& raw) {
    std::string line = Trim(raw);
    // A byte-order mark, as some editors write first, is no part of the key: the line is still
    // known for its port, so that the port is not silently taken as unset.
    const bool marked = line.rfind(kByteOrderMark, 0) == 0;
    if (marked) {
        line = Trim(line.substr(3));
    }
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
    if (marked) {
        entry.problem = key + ": the line begins with a byte-order mark (save the file without it)";
    } else if (value.empty()) {
        entry.problem = "no device after " + key + "=";
    } else if (HasControlCharacter(value)) {
        entry.problem = key + ": the device holds a control character: " + value;
    } else if (value.find(" #") != std::string::npos || value.find("\t#") != std::string::npos) {
        entry.problem = key + ": a comment must be a line of its own: " + value;
    } else if (!platform::IsFullDevicePath(value)) {
        entry.problem = key + ": the device must be a full path, not " + value;
    }
    return entry;
}

// The file's lines, each without its '\n' (a CR before it stays); nullopt when it exists but
// cannot be read (`reason` says why). `lastEnded`: whether the last line has its line break.
std::optional<std::vector<std::string>> ReadLines(const std::string& path, bool& missing,
                                                  std::string& reason, bool& lastEnded) {
    std::string text;
    if (!platform::ReadTextFile(path, text, missing, reason)) {
        return std::nullopt;
    }
    lastEnded = text.empty() || text.back() == '\n';
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The line break new lines get: CR LF where the file's first line ends so.
std::string LineBreakOf(const std::vector<std::string>& lines) {
    return !lines.empty() && !lines[0].empty() && lines[0].back() == '\r' ? "\r\n" : "\n";
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
    bool lastEnded = true;
    std::string reason;
    const auto lines = ReadLines(path, missing, reason, lastEnded);
    if (!lines) {
        if (!missing) {
            file.unreadable = VisibleText(path + ": cannot be read: " + reason);
            file.problems.push_back(file.unreadable);
        }
        return file;
    }
    std::array<int, 4> seenOn{};
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        Entry entry = ParseLine((*lines)[i]);
        if (entry.port != 0) {
            const int at = entry.port - 1;
            if (seenOn[at] != 0 && entry.problem.empty()) {
                entry.problem = "COM" + std::to_string(entry.port) + " is given on line " +
                                std::to_string(seenOn[at]) + " already";
            } else if (seenOn[at] == 0) {
                seenOn[at] = number;
            }
            if (entry.problem.empty()) {
                file.devices[at] = entry.device;
                file.lineOf[at] = number;
            }
        }
        if (entry.problem.empty()) {
            continue;
        }
        const std::string problem =
            VisibleText(path + " line " + std::to_string(number) + ": " + entry.problem);
        file.problems.push_back(problem);
        if (entry.port != 0 && !file.unusable[entry.port - 1]) {
            file.unusable[entry.port - 1] =
                UnusableLine{number, (*lines)[i], entry.device, problem};
        }
    }
    return file;
}

bool WritePortFile(const std::string& path, const PortChanges& changes, std::string& error) {
    bool missing = false;
    bool lastEnded = true;
    std::string reason;
    std::vector<std::string> old;
    if (auto lines = ReadLines(path, missing, reason, lastEnded)) {
        old = std::move(*lines);
    } else if (!missing) {
        error = "reading " + path + ": " + reason;
        return false;
    }
    const std::string lineBreak = LineBreakOf(old);

    // A changed port's entry takes the place of its first line; every other line stays as the
    // user wrote it, with its own line break.
    std::string text;
    std::array<bool, 4> written{};
    for (std::size_t i = 0; i < old.size(); ++i) {
        const std::string ending = i + 1 < old.size() || lastEnded ? "\n" : "";
        const int port = ParseLine(old[i]).port;
        if (port == 0 || !changes[port - 1]) {
            text += old[i] + ending;
            continue;
        }
        const std::string& device = *changes[port - 1];
        if (!written[port - 1] && !device.empty()) {
            text += "COM" + std::to_string(port) + "=" + device + lineBreak;
        }
        written[port - 1] = true;
    }
    for (int port = 1; port <= 4; ++port) {
        const auto& change = changes[port - 1];
        if (!written[port - 1] && change && !change->empty()) {
            if (!text.empty() && text.back() != '\n') {
                text += lineBreak;  // the user's last line had none
            }
            text += "COM" + std::to_string(port) + "=" + *change + lineBreak;
        }
    }

    return platform::ReplaceFile(path, text, error);
}

}  // namespace ports
