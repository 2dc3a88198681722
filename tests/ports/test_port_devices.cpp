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
    PortMapping unset1(1, "");  // empty: as if unset
    PortMapping unset2(2, "");
    EXPECT_EQ(ports::ResolvePort(1).path, "/dev/ttyS0");  // only named, never opened
    const ports::PortDevice com2 = ports::ResolvePort(2);
    EXPECT_EQ(com2.path, "/dev/serial/by-id/usb-FTDI-A");
    EXPECT_EQ(com2.origin, file + " line 2");
    // COM4 keeps its variable, which wins over the file.
    EXPECT_EQ(ports::ResolvePort(4).origin, "VEXLARIN_COM4");
    EXPECT_EQ(ports::ReadPortFile(file).problems,
              (std::vector<std::string>{file + " line 3: COM5 is not one of COM1 to COM4",
                                        file + " line 4: COM2 is given on line 2 already"}));

    // Rewritten: COM1 added at the end, COM4 in the place of its line, COM2 gone, the comment
    // and the line in error kept where they were.
    std::string error;
    ASSERT_TRUE(ports::WritePortFile(file, {"/dev/a", "", "", "/dev/d"}, error)) << error;
    EXPECT_EQ(ReadFileText(file),
              "# the bench's adapters\nCOM5=/dev/x\nCOM4=/dev/d\nCOM1=/dev/a\n");

    // A device named relative to whatever the current directory is names no device.
    WriteText(file, "COM3=ttyUSB0\n");
    EXPECT_EQ(ports::ReadPortFile(file).problems,
              std::vector<std::string>{file + " line 1: COM3: the device must be a full path, not "
                                              "ttyUSB0"});
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
