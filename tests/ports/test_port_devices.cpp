// Which device each COM port stands for (environment, then the user's port file, then ttyS),
// the port file as the user and the port dialog write it, and the serial devices detected on a
// fake sysfs and /dev tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/serial_devices.h"
#include "ports/port_file.h"
#include "ports/port_map.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"

namespace {

namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST(PortMap, EnvironmentThenPortFileThenTtyS) {
    TempDir config;
    ScopedEnv home("XDG_CONFIG_HOME", config.Path());
    const std::string file = config / "vexlarin/ports";
    WriteText(file,
              "# the bench's adapters\n"
              "COM2=/dev/serial/by-id/usb-FTDI-A\n"
              "COM5=/dev/x\n"
              "COM2=/dev/other\n"
              "  COM4 = /dev/by-path/acm  \n");
    AllPortsMissing missing;
    PortMapping unset1(1, ""), unset2(2, ""), unset3(3, "");  // empty: as if unset
    EXPECT_EQ(ports::ResolvePort(1).path, "/dev/ttyS0");      // only named, never opened
    // COM2 given twice: which one the user meant is not known, so neither is opened.
    const ports::PortDevice com2 = ports::ResolvePort(2);
    EXPECT_EQ(com2.path, "/dev/serial/by-id/usb-FTDI-A");
    EXPECT_EQ(com2.origin, file + " line 4");
    EXPECT_EQ(com2.unavailable, file + " line 4: COM2 is given on line 2 already");
    // COM4 keeps its variable, which wins over the file.
    EXPECT_EQ(ports::ResolvePort(4).origin, "VEXLARIN_COM4");
    EXPECT_EQ(ports::ReadPortFile(file).problems,
              (std::vector<std::string>{file + " line 3: COM5 is not one of COM1 to COM4",
                                        file + " line 4: COM2 is given on line 2 already"}));

    // Rewritten: COM1 added at the end, COM4 in the place of its line; COM2, not changed, keeps
    // both its lines, and the comment and COM5 stay where they were. Then COM2 emptied: both go.
    std::string error;
    ASSERT_TRUE(ports::WritePortFile(file, {"/dev/a", std::nullopt, std::nullopt, "/dev/d"}, error))
        << error;
    EXPECT_EQ(ReadFileText(file),
              "# the bench's adapters\nCOM2=/dev/serial/by-id/usb-FTDI-A\nCOM5=/dev/x\n"
              "COM2=/dev/other\nCOM4=/dev/d\nCOM1=/dev/a\n");
    ASSERT_TRUE(ports::WritePortFile(file, {std::nullopt, "", std::nullopt, std::nullopt}, error));
    EXPECT_EQ(ReadFileText(file),
              "# the bench's adapters\nCOM5=/dev/x\nCOM4=/dev/d\nCOM1=/dev/a\n");

    // The file a symlink to a file not there yet (kept with the user's other settings): written
    // through the link, which stays.
    fs::remove(file);
    fs::create_symlink("../dotfiles/vexlarin-ports", file);
    const std::string target = config / "dotfiles/vexlarin-ports";
    ASSERT_TRUE(
        ports::WritePortFile(file, {std::nullopt, "/dev/b", std::nullopt, std::nullopt}, error))
        << error;
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadFileText(target), "COM2=/dev/b\n");

    // Lines the program cannot use, written on Windows (CR LF) and kept private: each makes its
    // port unavailable with the reason, never the default device; an escape sequence is shown
    // escaped. Rewriting COM2 keeps every other line as written, the CR LF and the mode.
    const std::string broken =
        "COM1=ttyUSB0\r\n\xEF\xBB\xBF"
        "COM3=/dev/c\r\nCOM4=/dev/ttyUSB1 # bench\r\n"
        "COM2=\x1b[2J\r\nCOM1=\r\n";
    WriteText(target, broken);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    PortMapping unset4(4, "");
    const ports::PortDevice com1 = ports::ResolvePort(1);
    EXPECT_EQ(com1.path, "ttyUSB0");
    EXPECT_EQ(com1.unavailable,
              file + " line 1: COM1: the device must be a full path, not ttyUSB0");
    EXPECT_EQ(ports::ResolvePort(3).unavailable,
              file +
                  " line 2: COM3: the line begins with a byte-order mark (save the file "
                  "without it)");
    EXPECT_EQ(ports::ResolvePort(4).unavailable,
              file + " line 3: COM4: a comment must be a line of its own: /dev/ttyUSB1 # bench");
    EXPECT_EQ(ports::ResolvePort(2).unavailable,
              file + " line 4: COM2: the device holds a control character: \\x1b[2J");
    EXPECT_EQ(ports::ReadPortFile(file).problems.back(), file + " line 5: no device after COM1=");
    ASSERT_TRUE(
        ports::WritePortFile(file, {std::nullopt, "/dev/b", std::nullopt, std::nullopt}, error))
        << error;
    EXPECT_EQ(ReadFileText(target),
              "COM1=ttyUSB0\r\n\xEF\xBB\xBF"
              "COM3=/dev/c\r\nCOM4=/dev/ttyUSB1 # bench\r\n"
              "COM2=/dev/b\r\nCOM1=\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_symlink(file));
}

TEST(PortDetect, UsbAdapterByItsIdAcmDeviceAndLegacyPortsOnlyWithAUart) {
    TempDir root;
    const std::string sys = root / "sys";
    const std::string dev = root / "dev";
    // An FTDI adapter: the tty's device is the port under the USB interface, two levels below
    // the USB device that carries maker, model and serial number.
    fs::create_directories(sys + "/devices/usb1/1-1/1-1:1.0/ttyUSB0");
    WriteText(sys + "/devices/usb1/1-1/idVendor", "0403\n");
    WriteText(sys + "/devices/usb1/1-1/manufacturer", "FTDI\n");
    WriteText(sys + "/devices/usb1/1-1/product", "FT232R USB UART\n");
    WriteText(sys + "/devices/usb1/1-1/serial", "A1B2C3\n");
    fs::create_directories(sys + "/class/tty/ttyUSB0");
    fs::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.0/ttyUSB0",
                                 sys + "/class/tty/ttyUSB0/device");
    fs::create_directories(dev + "/serial/by-id");
    fs::create_symlink("../../ttyUSB0",
                       dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    // A board speaking CDC ACM with a model name only, and no by-id link.
    fs::create_directories(sys + "/devices/usb1/1-2/1-2:1.0");
    WriteText(sys + "/devices/usb1/1-2/idVendor", "2e8a\n");
    WriteText(sys + "/devices/usb1/1-2/product", "Pico\n");
    fs::create_directories(sys + "/class/tty/ttyACM0");
    fs::create_directory_symlink("../../../devices/usb1/1-2/1-2:1.0",
                                 sys + "/class/tty/ttyACM0/device");
    // A 16550A on ttyS0, nothing behind ttyS1.
    WriteText(sys + "/class/tty/ttyS0/type", "4\n");
    WriteText(sys + "/class/tty/ttyS1/type", "0\n");

    ScopedEnv sysRoot("VEXLARIN_SYSFS_ROOT", sys), devRoot("VEXLARIN_DEV_ROOT", dev);
    const std::vector<platform::DetectedPort> found = platform::DetectSerialPorts();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, dev + "/ttyACM0");
    EXPECT_EQ(found[0].description, "Pico");
    EXPECT_EQ(found[1].path, dev + "/ttyS0");
    EXPECT_EQ(found[1].description, "16550A UART");
    EXPECT_EQ(found[2].path, dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    EXPECT_EQ(found[2].kernelName, "ttyUSB0");
    EXPECT_EQ(found[2].description, "FTDI FT232R USB UART, serial A1B2C3");
}

}  // namespace
