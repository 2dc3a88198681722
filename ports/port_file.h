// The user's port file: which device each COM port stands for, as "COMn=PATH" lines. Comments
// and lines this program does not understand are the user's; they are reported, never lost.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace ports {

struct PortFile {
    std::string path;
    // COM1..COM4: the device the file names, empty where it names none.
    std::array<std::string, 4> devices;
    // The line number of each port's entry, 0 where there is none.
    std::array<int, 4> lineOf{};
    // One message per line that could not be used: "FILE line N: what is wrong".
    std::vector<std::string> problems;
};

// vexlarin/ports in the user's configuration directory ($XDG_CONFIG_HOME or ~/.config, or
// %APPDATA%); empty when none is known.
std::string PortFilePath();

// Reads `path`. A file that does not exist holds no entries and no problems; one that cannot be
// read is one problem. A bad line is a problem and the other lines still count.
PortFile ReadPortFile(const std::string& path);

// Gives COM1..COM4 the devices in `devices` (empty: the entry goes) and keeps every other line as
// it was. Creates the file and its directory when missing; replaces the file in one step.
// False with "operation PATH: reason" in `error`.
bool WritePortFile(const std::string& path, const std::array<std::string, 4>& devices,
                   std::string& error);

}  // namespace ports
