#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "support/support_failure.h"

extern char** environ;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with each NAME=VALUE of `added` in the place of NAME's.
std::vector<std::string> Environment(const std::vector<std::string>& added) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& variable : added) {
            replaced = replaced || variable.compare(0, name.size(), name) == 0;
        }
        if (!replaced) {
            result.push_back(text);
        }
    }
    result.insert(result.end(), added.begin(), added.end());
    return result;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options) {
    std::vector<std::string> texts = argv;
    std::vector<char*> args = Pointers(texts);
    std::vector<std::string> variables = Environment(options.environment);
    std::vector<char*> environment = Pointers(variables);
    int out[2];
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || (options.keepErrors && pipe2(err, O_CLOEXEC) != 0)) {
        SupportFailure(std::string("pipe2: ") + std::strerror(errno));
        return;
    }
    const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                       static_cast<rlim_t>(options.fileSizeLimit)};
    m_pid = fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec: the test has threads.
        const int errFd = options.keepErrors          ? err[1]
                          : options.errorFile.empty() ? open("/dev/null", O_WRONLY)
                                                      : open(options.errorFile.c_str(),
                                                             O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (errFd < 0 || dup2(out[1], 1) < 0 || dup2(errFd, 2) < 0 ||
            (!options.directory.empty() && chdir(options.directory.c_str()) != 0) ||
            (options.fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0)) {
            _exit(126);
        }
        execve(args[0], args.data(), environment.data());
        _exit(127);
    }
    if (m_pid < 0) {
        SupportFailure(std::string("fork: ") + std::strerror(errno));
    }
    close(out[1]);
    m_stdout = out[0];
    if (err[1] >= 0) {
        close(err[1]);
        m_stderr = err[0];
    }
}

ChildProcess::~ChildProcess() {
    Signal(SIGKILL);
    Wait();
    for (const int fd : {m_stdout, m_stderr}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool ChildProcess::ReadLine(std::string& line) {
    line.clear();
    // Byte by byte, so that nothing after the line is taken from the pipe.
    for (char c;;) {
        const ssize_t n = read(m_stdout, &c, 1);
        if (n == 1 && c == '\n') {
            return true;
        }
        if (n == 1) {
            line += c;
        } else if (n == 0 || errno != EINTR) {
            return false;
        }
    }
}

std::string ChildProcess::ReadAll(int fd) {
    std::string text;
    for (char chunk[4096]; fd >= 0;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return text;
}

void ChildProcess::Signal(int signal) {
    if (m_pid > 0) {
        kill(m_pid, signal);
    }
}

int ChildProcess::Wait(double* cpuSeconds) {
    if (m_pid <= 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    while (wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (cpuSeconds) {
        const auto seconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
        };
        *cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

ChildOutcome RunChild(const std::vector<std::string>& argv, ChildOptions options) {
    options.keepErrors = true;
    ChildProcess child(argv, options);
    ChildOutcome outcome;
    outcome.out = ChildProcess::ReadAll(child.m_stdout);
    outcome.err = ChildProcess::ReadAll(child.m_stderr);
    outcome.code = child.Wait();
    return outcome;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int OpenAsNobody(const std::string& device) {
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(!dropped ? 255 : open(device.c_str(), O_RDWR | O_NOCTTY) >= 0 ? 0 : errno);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : 254;
}
