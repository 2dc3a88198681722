#include "bench_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

extern char** environ;

namespace {

std::string SystemError(const std::string& operation) {
    return operation + " failed: " + std::strerror(errno);
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with every name in `env` replaced by the value given there.
std::vector<std::string> Environment(const std::vector<std::string>& env) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& added : env) {
            replaced = replaced || added.compare(0, name.size(), name) == 0;
        }
        if (!replaced) {
            result.push_back(text);
        }
    }
    result.insert(result.end(), env.begin(), env.end());
    return result;
}

double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

int StatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace

Simulator::Simulator(const std::vector<std::string>& argv, const std::string& errPath,
                     std::string& error) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = SystemError("pipe2");
        return;
    }
    std::vector<std::string> args = argv;
    std::vector<char*> pointers = Pointers(args);
    m_pid = fork();
    if (m_pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (err < 0) {
            _exit(126);
        }
        dup2(out[1], STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    close(out[1]);
    if (m_pid < 0) {
        error = SystemError("fork");
        close(out[0]);
        return;
    }
    // Its one line on standard output, the device, comes once it answers there.
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') {
        m_device += c;
    }
    close(out[0]);
    if (m_device.empty()) {
        error = "vexlarin-camsim (" + argv[0] + ") did not start";
        Stop();
    }
}

Simulator::~Simulator() {
    Stop();
}

void Simulator::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& dir, std::string& error) {
    ChildResult result;
    std::vector<std::string> args = argv;
    std::vector<char*> argPointers = Pointers(args);
    std::vector<std::string> environment = Environment(env);
    std::vector<char*> envPointers = Pointers(environment);
    const std::string outPath = dir + "/list.out";
    const std::string errPath = dir + "/list.err";

    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execve(argPointers[0], argPointers.data(), envPointers.data());
        _exit(127);
    }
    if (pid < 0) {
        error = SystemError("fork");
        return result;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        error = SystemError("wait4");
        return result;
    }
    result.wallS = Now() - start;
    result.status = StatusOf(status);
    result.cpuS = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    if (result.status == 127 || result.status == 126) {
        error = "could not run " + argv[0] + " in " + dir;
    }
    return result;
}

std::string MachineText() {
    std::string model = "unknown CPU";
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname names{};
    uname(&names);
    // Other work on the machine stretches every wake-up; the load says how much there was.
    double one = 0;
    double five = 0;
    std::FILE* loadavg = std::fopen("/proc/loadavg", "r");
    if (loadavg != nullptr) {
        if (std::fscanf(loadavg, "%lf %lf", &one, &five) != 2) {
            one = five = -1;
        }
        std::fclose(loadavg);
    }
    char load[96];
    std::snprintf(load, sizeof load, "\nload average              %.2f (1 min), %.2f (5 min)", one,
                  five);
    return "machine                   " + std::to_string(std::thread::hardware_concurrency()) +
           " CPUs (nproc), " + model + ", " + names.sysname + " " + names.release + load;
}
