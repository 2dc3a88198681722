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

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int out[2];
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || (options.keepErrors && pipe2(err, O_CLOEXEC) != 0)) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return;
    }
    const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                       static_cast<rlim_t>(options.fileSizeLimit)};
    m_pid = fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec: the test has threads.
        const int errFd = options.keepErrors ? err[1] : open("/dev/null", O_WRONLY);
        if (errFd < 0 || dup2(out[1], 1) < 0 || dup2(errFd, 2) < 0 ||
            (!options.directory.empty() && chdir(options.directory.c_str()) != 0) ||
            (options.fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0)) {
            _exit(126);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    EXPECT_GT(m_pid, 0) << "fork: " << std::strerror(errno);
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
