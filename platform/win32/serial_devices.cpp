// Serial devices on Windows: the registry's list of the serial ports present
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), and Windows' own names for them.
#include "platform/serial_devices.h"

#include "platform/win32/serial_port_impl.h"  // windows.h and kNotSerialError

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

// COM2 before COM10.
bool PortOrder(const DetectedPort& a, const DetectedPort& b) {
    const auto number = [](const std::string& name) { return std::atoi(name.c_str() + 3); };
    return std::make_pair(number(a.kernelName), a.kernelName) <
           std::make_pair(number(b.kernelName), b.kernelName);
}

}  // namespace

std::vector<DetectedPort> DetectSerialPorts(const std::function<bool()>& stopped) {
    std::vector<DetectedPort> ports;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;  // no serial port has ever been there
    }
    // Each value: the driver's device object ("\Device\Serial0", "\Device\VCP0") = "COMn".
    for (DWORD i = 0; !(stopped && stopped()); ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        char data[256];
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, i, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataLength);
        if (result == ERROR_MORE_DATA) {
            continue;  // no port name is that long
        }
        if (result != ERROR_SUCCESS) {
            break;
        }
        if (type != REG_SZ || dataLength == 0) {
            continue;
        }
        data[dataLength] = '\0';
        const std::string port = data;
        if (port.rfind("COM", 0) != 0) {
            continue;
        }
        ports.push_back({"\\\\.\\" + port, port, name});
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), PortOrder);
    return ports;
}

std::string DefaultPortDevice(int port) {
    // The device namespace's name works for COM10 and above too, where plain "COM10" does not.
    return "\\\\.\\COM" + std::to_string(port);
}

bool IsFullDevicePath(const std::string& path) {
    const auto separator = [&path](std::size_t at) {
        return at < path.size() && (path[at] == '\\' || path[at] == '/');
    };
    // \\.\COM5 and \\server\share\... begin with two separators; C:\... with a drive letter.
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && separator(2);
    return (separator(0) && separator(1)) || drive;
}

OpenFailure KindOfOpenFailure(ErrorCode error) {
    switch (static_cast<DWORD>(error)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
        case ERROR_DEV_NOT_EXIST:
            return OpenFailure::Missing;
        // A COM port is never shared: another program holding it makes the open fail with
        // ERROR_ACCESS_DENIED.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenFailure::Busy;
        case kNotSerialError:
            return OpenFailure::NotSerial;
        default:
            return OpenFailure::Other;
    }
}

std::string DeviceGroupName(const std::string&) {
    return "";  // Windows opens ports to every user; there is no group to join
}

}  // namespace platform
