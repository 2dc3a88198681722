// A program run by a test or the benchmark: standard output through a pipe, standard error
// discarded, in a second pipe or in a file, optionally in another directory, with variables
// added to its environment and under a file-size limit.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ChildOptions {
    std::string directory;    // empty: the caller's own
    long fileSizeLimit = -1;  // bytes; -1: no limit
    bool keepErrors = false;  // standard error in a pipe, read once standard output ends
    std::string errorFile;    // else standard error appended to this file; empty: discarded
    std::vector<std::string> environment;  // NAME=VALUE, added or replacing
};

// A program run to its end, standard error in a pipe.
struct ChildOutcome {
    int code = -1;
    std::string out;
    std::string err;
};
ChildOutcome RunChild(const std::vector<std::string>& argv, ChildOptions options = {});

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {});
    ~ChildProcess();  // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output without its LF; false at the end of the output.
    bool ReadLine(std::string& line);
    void Signal(int signal);
    // The exit status, or 128 + the signal that ended the child; -1 once waited for. The
    // child's processor time (user and system) in `cpuSeconds` where given.
    int Wait(double* cpuSeconds = nullptr);

private:
    friend ChildOutcome RunChild(const std::vector<std::string>& argv, ChildOptions options);
    static std::string ReadAll(int fd);

    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_stderr = -1;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFileText(const std::string& path);

// errno of an open of `device` by an unprivileged user (the exclusive flag does not stop root);
// 0: it opened.
int OpenAsNobody(const std::string& device);
