// vexlarin-list's command line.
#pragma once

#include <string>
#include <vector>

struct ListOptions {
    int port = 0;  // 0: the lowest that opens
    std::string device;
    std::vector<int> pages{0};
    std::string file = "Vexlarin.txt";
    std::string image;
    bool ports = false;
    bool help = false;
};

enum class ParseResult {
    Ok,
    Usage,        // not understood: `error` says why
    PageRefused,  // --page is not one hexadecimal digit or "all": `error` says so
};

ParseResult ParseListOptions(int argc, char** argv, ListOptions& options, std::string& error);

// The --help text.
extern const char kListUsage[];
