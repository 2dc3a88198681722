// The least a lister can cost: the exchanges of a logged listing replayed straight on the
// simulator's terminal, each command written whole and its reply read whole, nothing else.
#pragma once

#include <string>
#include <vector>

struct LoggedExchange {
    std::string command;  // bytes
    std::string reply;    // bytes; empty when none was sent
};

// The exchanges of a simulator's log; `error` says why when it cannot be read.
std::vector<LoggedExchange> ReadExchangeLog(const std::string& path, std::string& error);

// Replays `exchanges` on `device` and returns the seconds they took; `error` says why when a
// step failed or a reply did not come within 5 s.
double ReplayExchanges(const std::string& device, const std::vector<LoggedExchange>& exchanges,
                       std::string& error);
