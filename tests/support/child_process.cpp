#include "support/child_process.h"

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

namespace {

// Reads until the end of `fd`, retrying interrupted reads.
std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    while (fd >= 0) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return text;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int out[2];
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || (options.stderrPath.empty() && pipe2(err, O_CLOEXEC) != 0)) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec: the test has threads.
        const int errFd = options.stderrPath.empty() ? err[1]
                                                     : open(options.stderrPath.c_str(),
                                                            O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errFd < 0 || dup2(out[1], 1) < 0 || dup2(errFd, 2) < 0 ||
            (!options.directory.empty() && chdir(options.directory.c_str()) != 0)) {
            _exit(126);
        }
        const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                           static_cast<rlim_t>(options.fileSizeLimit)};
        if (options.fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            _exit(126);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    m_stdout = out[0];
    if (err[1] >= 0) {
        close(err[1]);
        m_stderr = err[0];
    }
    if (m_pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
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
    std::string rest = std::move(m_buffered) + ReadAll(m_stdout);
    m_buffered.clear();
    return rest;
}

std::string ChildProcess::ReadErrors() {
    return ReadAll(m_stderr);
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

ChildOutcome RunChild(const std::vector<std::string>& argv, ChildOptions options) {
    options.stderrPath = "";
    ChildProcess child(argv, options);
    ChildOutcome outcome;
    outcome.out = child.ReadRest();
    outcome.err = child.ReadErrors();
    outcome.code = child.Wait();
    return outcome;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
