#include "platform/port_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace platform {

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
    } else if (value[0] != '/') {
        entry.problem = key + ": the device must be a full path starting with /, not " + value;
    }
    return entry;
}

std::string SystemText(int error) {
    return std::strerror(error);
}

// The file's lines; nullopt when it exists but cannot be read (errno says why).
std::optional<std::vector<std::string>> ReadLines(const std::string& path, bool& missing) {
    missing = false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        missing = errno == ENOENT;
        return std::nullopt;
    }
    struct stat st;
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    if (error != 0) {
        close(fd);
        errno = error;
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            close(fd);
            errno = error;
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

bool WriteWhole(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

std::string PortFilePath() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return std::string(config) + "/vexlarin/ports";
    }
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable && *variable) {
        home = variable;
    } else {
        passwd entry;
        passwd* found = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
            home = found->pw_dir;
        }
    }
    return home.empty() ? "" : home + "/.config/vexlarin/ports";
}

PortFile ReadPortFile(const std::string& path) {
    PortFile file;
    file.path = path;
    if (path.empty()) {
        return file;
    }
    bool missing = false;
    const auto lines = ReadLines(path, missing);
    if (!lines) {
        if (!missing) {
            file.problems.push_back(path + ": cannot be read: " + SystemText(errno));
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
    std::vector<std::string> old;
    if (auto lines = ReadLines(path, missing)) {
        old = std::move(*lines);
    } else if (!missing) {
        error = "reading " + path + ": " + SystemText(errno);
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

    // A port file kept as a symlink (in a dotfiles folder) is written where it points.
    std::error_code ec;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, ec)) {
        target = std::filesystem::weakly_canonical(target, ec);
    }
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) {
        error = "creating " + target.parent_path().string() + ": " + ec.message();
        return false;
    }
    const std::string temporary = target.string() + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "creating " + temporary + ": " + SystemText(errno);
        return false;
    }
    const bool writtenOk = WriteWhole(fd, text) && fsync(fd) == 0;
    const int writeError = errno;
    if (close(fd) != 0 || !writtenOk) {
        error = "writing " + temporary + ": " + SystemText(writtenOk ? errno : writeError);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        error = "replacing " + target.string() + ": " + SystemText(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
