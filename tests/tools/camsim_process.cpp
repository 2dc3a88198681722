#include "camsim_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& args, int stdoutFd, const std::string& stderrPath) {
    std::vector<std::string> all{VEXLARIN_CAMSIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    if (!stderrPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "posix_spawn: " << std::strerror(rc);
        return -1;
    }
    return pid;
}

int ExitStatus(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

CamsimProcess::CamsimProcess(const std::vector<std::string>& args, const std::string& stderrPath) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return;
    }
    m_pid = Spawn(args, out[1], stderrPath);
    close(out[1]);
    // The first line is the device path; the child prints it once the terminal is ready.
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') {
        m_device += c;
    }
    close(out[0]);
    EXPECT_FALSE(m_device.empty()) << "vexlarin-camsim printed no device path";
}

CamsimProcess::~CamsimProcess() {
    if (m_pid > 0) {
        Stop();
    }
}

int CamsimProcess::Stop() {
    if (m_pid <= 0) {
        return -1;
    }
    kill(m_pid, SIGTERM);
    return Wait();
}

int CamsimProcess::Wait() {
    if (m_pid <= 0) {
        return -1;
    }
    const int status = ExitStatus(m_pid);
    m_pid = -1;
    return status;
}

int RunCamsim(const std::vector<std::string>& args, std::string& output) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t pid = Spawn(args, out[1], "/dev/null");
    close(out[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    return pid > 0 ? ExitStatus(pid) : -1;
}

std::string TempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    static int serial = 0;
    return std::string(dir ? dir : "/tmp") + "/vexlarin-" + std::to_string(getpid()) + "-" +
           std::to_string(++serial) + "-" + name;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

int OpenRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

std::vector<std::uint8_t> ReadBytes(int fd, std::size_t count, int safetyMs) {
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, safetyMs) <= 0) {
            break;
        }
        std::uint8_t buffer[256];
        const std::size_t want = std::min(sizeof buffer, count - bytes.size());
        const ssize_t n = read(fd, buffer, want);
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

bool WriteHex(int fd, const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}
