#include "bench/machine.h"

#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <thread>

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
