// The simulated camera's command line.
#pragma once

#include <string>

#include "camsim_protocol.h"

namespace camsim {

struct Options {
    std::string link;   // make this symlink to the device side; removed on exit
    std::string image;  // memory image; empty: the default pattern
    std::string log;    // one line per exchange; empty: no log
    ReplyFaults faults;
    int pauseMs = 0;       // silence between two reply bytes
    int baud = 0;          // pace every byte at this rate (10 bits a byte); 0: no pacing
    int hangupAfter = -1;  // answer N commands, hang up at the next one; -1: never
    bool help = false;
};

// Parses the command line. False with a message on a bad one.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

// The --help text.
std::string UsageText();

}  // namespace camsim
