#include "child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int pipeFds[2];
    int errorFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0 ||
        (options.stderrPath.empty() && pipe2(errorFds, O_CLOEXEC) != 0)) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec: the test has threads.
        const int err = options.stderrPath.empty()
                            ? errorFds[1]
                            : open(options.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err < 0 || dup2(pipeFds[1], 1) < 0 || dup2(err, 2) < 0) {
            _exit(126);
        }
        if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) {
            _exit(126);
        }
        if (options.fileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                               static_cast<rlim_t>(options.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(126);
            }
        }
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    m_stdout = pipeFds[0];
    if (errorFds[1] >= 0) {
        close(errorFds[1]);
        m_stderr = errorFds[0];
    }
    if (m_pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0) {
        Signal(SIGKILL);
        Wait();
    }
    for (const int fd : {m_stdout, m_stderr}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool ChildProcess::ReadLine(std::string& line) {
    for (;;) {
        if (const auto end = m_buffered.find('\n'); end != std::string::npos) {
            line = m_buffered.substr(0, end);
            m_buffered.erase(0, end + 1);
            return true;
        }
        char chunk[4096];
        const ssize_t n = read(m_stdout, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        m_buffered.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::ReadRest() {
    std::string line;
    std::string rest;
    while (ReadLine(line)) {
        rest += line + "\n";
    }
    return rest + m_buffered;
}

std::string ChildProcess::ReadErrors() {
    std::string text;
    char chunk[4096];
    ssize_t n;
    while (m_stderr >= 0 &&
           ((n = read(m_stderr, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        }
    }
    return text;
}

void ChildProcess::Signal(int signal) {
    if (m_pid > 0) {
        kill(m_pid, signal);
    }
}

int ChildProcess::Wait() {
    if (m_pid <= 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
