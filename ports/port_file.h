// The user's port file: which device each COM port stands for, as "COMn=PATH" lines. Comments
// and lines this program does not understand are the user's; they are reported, never lost.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ports {

// A COMn line the program cannot use. It makes COMn unavailable: opening the default device
// instead could send the camera's commands to whatever else sits on that port.
struct UnusableLine {
    int line = 0;        // its number in the file
    std::string text;    // the line as written, without its line break
    std::string device;  // what it gives after "=", as written (may be empty)
    std::string reason;  // "FILE line N: what is wrong", control characters made visible
};

struct PortFile {
    std::string path;
    // COM1..COM4: the device the file names, empty where it names none.
    std::array<std::string, 4> devices;
    // The line number of each port's entry, 0 where there is none.
    std::array<int, 4> lineOf{};
    // Per port, the first of its lines that cannot be used.
    std::array<std::optional<UnusableLine>, 4> unusable;
    // Why the file, which exists, cannot be read; empty when it can. Every port is then
    // unavailable: what the file says of it is not known.
    std::string unreadable;
    // One message per line that could not be used: "FILE line N: what is wrong".
    std::vector<std::string> problems;
};

// What the user changed in the port dialog: per port, the device its row now gives (empty: the
// port's lines go), or nothing where the row was left alone and its lines stay as written.
using PortChanges = std::array<std::optional<std::string>, 4>;

// vexlarin/ports in the user's configuration directory ($XDG_CONFIG_HOME or ~/.config, or
// %APPDATA%); empty when none is known.
std::string PortFilePath();

// Reads `path`. A file that does not exist holds no entries and no problems; one that cannot be
// read is one problem. A bad line is a problem and the other lines still count.
PortFile ReadPortFile(const std::string& path);

// Rewrites the lines of each changed port: its first line takes the new device (or goes when
// that is empty), its other lines go, and a port without a line gets one at the end. Every other
// line stays exactly as written, unusable ones included, as do the file's line endings (CR LF
// for new lines where the file has them). Creates the file and its directory when missing;
// replaces the file in one step, keeping its permissions and writing through a symlink.
// False with "operation PATH: reason" in `error`.
bool WritePortFile(const std::string& path, const PortChanges& changes, std::string& error);

}  // namespace ports
