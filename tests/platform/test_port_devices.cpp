// Which device each COM port stands for (environment, then the user's port file, then ttyS),
// the port file as the user and the port dialog write it, and the serial devices detected on a
// fake sysfs and /dev tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/port_detect.h"
#include "platform/port_file.h"
#include "platform/port_map.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST(PortMap, EnvironmentThenPortFileThenTtyS) {
    TempDir config;
    ScopedEnv home("XDG_CONFIG_HOME", config.Path());
    const std::string file = config / "vexlarin/ports";
    ASSERT_EQ(platform::PortFilePath(), file);
    WriteText(file,
              "# the bench's adapters\n"
              "COM2=/dev/serial/by-id/usb-FTDI-A\n"
              "COM5=/dev/x\n"
              "baud 9600\n"
              "COM3=relative/ttyUSB1\n"
              "COM2=/dev/other\n"
              "  COM4 = /dev/by-path/acm  \n");
    AllPortsMissing missing;
    {
        PortMapping com1(1, "");  // empty: as if unset
        PortMapping com2(2, "");
        PortMapping com3(3, "");
        // COM4 keeps its variable, which wins over the file.
        const platform::PortDevice expected[] = {
            {"/dev/ttyS0", platform::PortSource::Default, "default"},
            {"/dev/serial/by-id/usb-FTDI-A", platform::PortSource::PortFile, file + " line 2"},
            {"/dev/ttyS2", platform::PortSource::Default, "default"},
            {"/nonexistent/vexlarin-com4", platform::PortSource::Environment, "VEXLARIN_COM4"},
        };
        for (int port = 1; port <= 4; ++port) {
            const platform::PortDevice got = platform::ResolvePort(port);
            EXPECT_EQ(got.path, expected[port - 1].path) << port;
            EXPECT_EQ(got.source, expected[port - 1].source) << port;
            EXPECT_EQ(got.origin, expected[port - 1].origin) << port;
        }
        PortMapping com4(4, "");
        EXPECT_EQ(platform::PortDevicePath("COM4"), "/dev/by-path/acm");
        for (const char* none : {"COM0", "COM5", "COM12", "COM", "com1", "LPT1", ""}) {
            EXPECT_EQ(platform::PortDevicePath(none), "") << none;
        }
    }

    // Each bad line once, by file and line; the good ones still count.
    const platform::PortFile read = platform::ReadPortFile(file);
    EXPECT_EQ(read.problems,
              (std::vector<std::string>{
                  file + " line 3: COM5 is not one of COM1 to COM4",
                  file + " line 4: not understood (lines read COMn=DEVICE): baud 9600",
                  file + " line 5: COM3: the device must be a full path starting with /, not "
                         "relative/ttyUSB1",
                  file + " line 6: COM2 is given on line 2 already",
              }));

    // Rewritten: COM1 added at the end, COM3 in the place of its line, COM2 and COM4 gone,
    // the comment and the lines not understood kept where they were.
    std::string error;
    ASSERT_TRUE(platform::WritePortFile(file, {"/dev/a", "", "/dev/c", ""}, error)) << error;
    EXPECT_EQ(ReadFileText(file),
              "# the bench's adapters\nCOM5=/dev/x\nbaud 9600\nCOM3=/dev/c\nCOM1=/dev/a\n");

    // A port file that does not exist yet is made, directories and all; one that cannot be
    // read or replaced says so.
    ScopedEnv fresh("XDG_CONFIG_HOME", config / "new/config");
    ASSERT_TRUE(platform::WritePortFile(platform::PortFilePath(), {"", "/dev/b", "", ""}, error));
    EXPECT_EQ(ReadFileText(config / "new/config/vexlarin/ports"), "COM2=/dev/b\n");
    const std::string blocked = config / "blocked";
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    EXPECT_EQ(platform::ReadPortFile(blocked).problems,
              std::vector<std::string>{blocked + ": cannot be read: Is a directory"});
    EXPECT_FALSE(platform::WritePortFile(blocked, {"/dev/a", "", "", ""}, error));
    EXPECT_EQ(error, "reading " + blocked + ": Is a directory");
}

TEST(PortDetect, UsbAdapterAcmDeviceAndLegacyPortsOnlyWithAUart) {
    TempDir root;
    const std::string sys = root / "sys";
    const std::string dev = root / "dev";
    const auto link = [](const std::string& target, const std::string& at) {
        std::filesystem::create_directories(std::filesystem::path(at).parent_path());
        std::filesystem::create_directory_symlink(target, at);
    };
    // An FTDI adapter: the tty's device is the port under the USB interface, two levels below
    // the USB device that carries maker, model and serial number.
    std::filesystem::create_directories(sys + "/devices/usb1/1-1/1-1:1.0/ttyUSB0");
    WriteText(sys + "/devices/usb1/1-1/idVendor", "0403\n");
    WriteText(sys + "/devices/usb1/1-1/manufacturer", "FTDI\n");
    WriteText(sys + "/devices/usb1/1-1/product", "FT232R USB UART\n");
    WriteText(sys + "/devices/usb1/1-1/serial", "A1B2C3\n");
    link("../../../devices/usb1/1-1/1-1:1.0/ttyUSB0", sys + "/class/tty/ttyUSB0/device");
    link("../../ttyUSB0", dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    // A board speaking CDC ACM with a model name only, and no by-id link.
    std::filesystem::create_directories(sys + "/devices/usb1/1-2/1-2:1.0");
    WriteText(sys + "/devices/usb1/1-2/idVendor", "2e8a\n");
    WriteText(sys + "/devices/usb1/1-2/product", "Pico\n");
    link("../../../devices/usb1/1-2/1-2:1.0", sys + "/class/tty/ttyACM0/device");
    // Legacy ports: a 16550A on ttyS0 and ttyS10, nothing behind ttyS1; a console.
    WriteText(sys + "/class/tty/ttyS0/type", "4\n");
    WriteText(sys + "/class/tty/ttyS10/type", "4\n");
    WriteText(sys + "/class/tty/ttyS1/type", "0\n");
    std::filesystem::create_directories(sys + "/class/tty/tty0");

    const std::vector<platform::DetectedPort> found = platform::DetectSerialPorts(sys, dev);
    ASSERT_EQ(found.size(), 4u);
    const std::string expected[][3] = {
        {dev + "/ttyACM0", "ttyACM0", "Pico"},
        {dev + "/ttyS0", "ttyS0", "16550A UART"},
        {dev + "/ttyS10", "ttyS10", "16550A UART"},
        {dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0",
         "FTDI FT232R USB UART, serial A1B2C3"},
    };
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].path, expected[i][0]);
        EXPECT_EQ(found[i].kernelName, expected[i][1]);
        EXPECT_EQ(found[i].description, expected[i][2]);
    }
    EXPECT_TRUE(platform::DetectSerialPorts(root / "none", root / "none").empty());
}

}  // namespace
