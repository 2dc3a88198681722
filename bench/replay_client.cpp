#include "bench/replay_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool Exchange(int fd, const LoggedExchange& exchange, std::string& error) {
    if (write(fd, exchange.command.data(), exchange.command.size()) !=
        static_cast<ssize_t>(exchange.command.size())) {
        error = std::string("write() to the simulator failed: ") + std::strerror(errno);
        return false;
    }
    std::size_t got = 0;
    char buffer[64];
    while (got < exchange.reply.size()) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 5000) != 1) {
            error = "no reply from the simulator within 5 s";
            return false;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            error = std::string("read() from the simulator failed: ") +
                    (n < 0 ? std::strerror(errno) : "end of file");
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::vector<LoggedExchange> ReadExchangeLog(const std::string& path, std::string& error) {
    std::vector<LoggedExchange> exchanges;
    std::ifstream log(path);
    if (!log) {
        error = "cannot read the simulator's log " + path + ": " + std::strerror(errno);
        return exchanges;
    }
    std::string command;
    std::string reply;
    while (log >> command >> reply) {
        exchanges.push_back({Bytes(command), reply == "-" ? "" : Bytes(reply)});
    }
    return exchanges;
}

double ReplayExchanges(const std::string& device, const std::vector<LoggedExchange>& exchanges,
                       std::string& error) {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (fd < 0 || tcgetattr(fd, &raw) != 0) {
        error = "cannot open " + device + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return 0;
    }
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    const double start = Now();
    for (const LoggedExchange& exchange : exchanges) {
        if (!Exchange(fd, exchange, error)) {
            break;
        }
    }
    const double seconds = Now() - start;
    close(fd);
    return seconds;
}
