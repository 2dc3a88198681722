// Serial devices on Linux: sysfs for what is there, /dev/serial/by-id for stable names.
#include "platform/serial_devices.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace platform {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, empty when there is none.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Maker, model and serial number of the USB device a tty hangs off: the first directory above
// the tty's device that has an idVendor.
std::string UsbDescription(const fs::path& ttyDir, const char* fallback) {
    std::error_code ec;
    fs::path at = fs::canonical(ttyDir / "device", ec);
    for (int up = 0; !ec && up < 4 && at.has_relative_path(); ++up, at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", ec)) {
            continue;
        }
        std::string text = Attribute(at / "manufacturer");
        const std::string product = Attribute(at / "product");
        if (!product.empty()) {
            text += (text.empty() ? "" : " ") + product;
        }
        if (text.empty()) {
            text = fallback;
        }
        if (const std::string serial = Attribute(at / "serial"); !serial.empty()) {
            text += ", serial " + serial;
        }
        return text;
    }
    return fallback;
}

// The UART behind a ttyS port, empty when there is none (type 0: the driver found nothing).
std::string UartDescription(const fs::path& ttyDir) {
    static const char* const kTypes[] = {"", "8250", "16450", "16550", "16550A"};
    const std::string type = Attribute(ttyDir / "type");
    if (type.empty() || type == "0" || type.find_first_not_of("0123456789") != std::string::npos) {
        return "";
    }
    const int number = std::atoi(type.c_str());
    if (number < static_cast<int>(std::size(kTypes))) {
        return std::string(kTypes[number]) + " UART";
    }
    return "UART type " + type;
}

// The /dev/serial/by-id link of each kernel name (the first by name where several point at
// one device), read once: a machine with many adapters must not cost a pass per device.
std::map<std::string, std::string> ByIdPaths(const fs::path& devRoot) {
    std::map<std::string, std::string> paths;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(devRoot / "serial/by-id", ec)) {
        std::error_code linkError;
        const std::string kernelName = fs::read_symlink(entry.path(), linkError).filename();
        if (linkError) {
            continue;
        }
        auto [at, added] = paths.emplace(kernelName, entry.path().string());
        if (!added && entry.path().string() < at->second) {
            at->second = entry.path().string();
        }
    }
    return paths;
}

// ttyS2 before ttyS10: the kind first, then the number.
bool KernelOrder(const DetectedPort& a, const DetectedPort& b) {
    const auto split = [](const std::string& name) {
        const auto digits = name.find_first_of("0123456789");
        const std::string kind = name.substr(0, digits);
        return std::make_pair(kind, digits == std::string::npos ? 0 : std::atoi(&name[digits]));
    };
    return split(a.kernelName) < split(b.kernelName);
}

std::vector<DetectedPort> Detect(const std::string& sysRoot, const std::string& devRoot,
                                 const std::function<bool()>& stopped) {
    std::vector<DetectedPort> ports;
    const std::map<std::string, std::string> byId = ByIdPaths(devRoot);
    std::error_code ec;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(sysRoot) / "class/tty", ec)) {
        if (stopped && stopped()) {
            break;
        }
        const std::string name = entry.path().filename().string();
        std::string description;
        if (StartsWith(name, "ttyUSB")) {
            description = UsbDescription(entry.path(), "USB serial adapter");
        } else if (StartsWith(name, "ttyACM")) {
            description = UsbDescription(entry.path(), "USB modem (ACM)");
        } else if (StartsWith(name, "ttyS")) {
            description = UartDescription(entry.path());
        }
        if (description.empty()) {
            continue;  // a console, a pseudo-terminal, or a ttyS with no UART behind it
        }
        const auto link = byId.find(name);
        const std::string path =
            link != byId.end() ? link->second : (fs::path(devRoot) / name).string();
        ports.push_back({path, name, description});
    }
    std::sort(ports.begin(), ports.end(), KernelOrder);
    return ports;
}

}  // namespace

std::vector<DetectedPort> DetectSerialPorts(const std::function<bool()>& stopped) {
    const char* sysRoot = std::getenv("VEXLARIN_SYSFS_ROOT");
    const char* devRoot = std::getenv("VEXLARIN_DEV_ROOT");
    return Detect(sysRoot && *sysRoot ? sysRoot : "/sys", devRoot && *devRoot ? devRoot : "/dev",
                  stopped);
}

std::string DefaultPortDevice(int port) {
    return "/dev/ttyS" + std::to_string(port - 1);
}

bool IsFullDevicePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

OpenFailure KindOfOpenFailure(ErrorCode error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenFailure::Missing;
        case EBUSY:
            return OpenFailure::Busy;
        case EACCES:
        case EPERM:
            return OpenFailure::AccessDenied;
        case ENOTTY:
            return OpenFailure::NotSerial;
        default:
            return OpenFailure::Other;
    }
}

std::string DeviceGroupName(const std::string& device) {
    struct stat st;
    // Joining the group helps only where the group may read and write the device.
    if (device.empty() || stat(device.c_str(), &st) != 0 ||
        (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return "";
    }
    group entry;
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->gr_name;
    }
    return std::to_string(st.st_gid);
}

}  // namespace platform
