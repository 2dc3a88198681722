// Which ports the window offers and which one it uses: the probing at start, the selectors as a
// mouse and keyboard user works them, and the tooltips that say why a port is not offered.
// Every port is a pseudo-terminal or a path that does not exist.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QToolTip>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/gui_support.h"
#include "app/port_devices_dialog.h"
#include "app/port_tooltip.h"
#include "platform/open_error.h"
#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"

namespace {

// Whether some program holds `device` with the exclusive open and lock (the link does).
bool Held(const std::string& device) {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY;  // the exclusive flag refuses everyone but root
    }
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return locked;
}

TEST(PortToolTipText, NamesTheOwningGroupOrSaysNotASerialDevice) {
    EXPECT_EQ(PortToolTip(2, "/tmp/file", ENOTTY),
              "COM2: /tmp/file\nNot available: not a serial device");
    // A device that cannot even be looked at has no group to name.
    EXPECT_EQ(PortToolTip(4, "/nonexistent/tty", EACCES),
              "COM4: /nonexistent/tty\nNot available: Permission denied (the user must be in "
              "the group that owns the device)");
    const std::string device = testing::TempDir() + "vexlarin-group-device";
    ASSERT_EQ(close(open(device.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    const group* daemon = getgrnam("daemon");
    ASSERT_NE(daemon, nullptr);
    ASSERT_EQ(chown(device.c_str(), static_cast<uid_t>(-1), daemon->gr_gid), 0);
    EXPECT_EQ(PortToolTip(1, device, EACCES),
              "COM1: " + device +
                  "\nNot available: Permission denied (the user must be in the group \"daemon\" "
                  "that owns the device)");
    // A group without a name is given by its number.
    ASSERT_EQ(getgrgid(54321), nullptr);
    ASSERT_EQ(chown(device.c_str(), static_cast<uid_t>(-1), 54321), 0);
    EXPECT_EQ(platform::DeviceGroupName(device), "54321");
    unlink(device.c_str());
}

class PortSelection : public testing::Test {
protected:
    void SetUp() override { platform::ResetPortFaults(); }
    void TearDown() override { platform::ResetPortFaults(); }

    void MapToPty(int n) {
        ptys[n - 1] = std::make_unique<PtyPair>();
        mappings[n - 1] = std::make_unique<PortMapping>(n, ptys[n - 1]->DevicePath());
    }
    const std::string& Pty(int n) const { return ptys[n - 1]->DevicePath(); }
    static void ExpectSelectors(OpenDlg& dlg, std::array<Qt::CheckState, 4> checks,
                                std::array<bool, 4> enabled) {
        for (int n = 1; n <= 4; ++n) {
            EXPECT_EQ(dlg.Selector(n).checkState(), checks[n - 1]) << "COM" << n << " check";
            EXPECT_EQ(dlg.Selector(n).isEnabled(), enabled[n - 1]) << "COM" << n << " enabled";
        }
    }
    // The reason is on the label and on the selector, for the mouse and for a screen reader.
    static std::string ToolTip(OpenDlg& dlg, int port) {
        const QString text = dlg.m_portLabels[port - 1].toolTip();
        EXPECT_EQ(dlg.Selector(port).toolTip(), text);
        EXPECT_EQ(dlg.Selector(port).accessibleDescription(), text);
        return text.toStdString();
    }
    std::string Busy(int port) {
        return "COM" + std::to_string(port) + ": " + Pty(port) +
               "\nNot available: Device or resource busy (held by another program)";
    }

    AllPortsMissing missing;
    std::unique_ptr<PtyPair> ptys[4];
    std::unique_ptr<PortMapping> mappings[4];
};

constexpr Qt::CheckState U = Qt::Unchecked, C = Qt::Checked, I = Qt::PartiallyChecked;

struct Probing {
    const char* name;
    std::vector<int> ptys;  // the ports that open
    std::array<Qt::CheckState, 4> checks;
    std::array<bool, 4> enabled;
    int current;
    unsigned opens;  // the four probes, and the re-open of the current port if any
};

class Probe : public PortSelection, public testing::WithParamInterface<Probing> {};

TEST_P(Probe, LowestOpenPortIsCheckedAndHeld) {
    const Probing& want = GetParam();
    for (int n : want.ptys) {
        MapToPty(n);
    }
    OpenDlg dlg;
    ExpectSelectors(dlg, want.checks, want.enabled);
    EXPECT_EQ(dlg.m_currentPort, want.current);
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), want.opens);
    EXPECT_EQ(dlg.m_link.IsPortOpen(), want.current != 0);
    for (int n : want.ptys) {
        EXPECT_EQ(Held(Pty(n)), n == want.current) << "COM" << n;
        EXPECT_EQ(ToolTip(dlg, n), "COM" + std::to_string(n) + ": " + Pty(n));
    }
    EXPECT_EQ(dlg.m_page.text(), "0");
    // Nothing else of the start says anything, but when no port opened.
    EXPECT_EQ(dlg.m_status.text(), want.current ? "" : "No port opened: see Port devices...");
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Probe,
    testing::Values(Probing{"All", {1, 2, 3, 4}, {C, U, U, U}, {true, true, true, true}, 1, 5},
                    Probing{"OnlyCom3", {3}, {U, U, C, U}, {false, false, true, false}, 3, 5},
                    // COM2 is opened again after the COM1 probe has failed.
                    Probing{"Com4AndCom2", {4, 2}, {U, C, U, U}, {false, true, false, true}, 2, 5},
                    Probing{"None", {}, {U, U, U, U}, {false, false, false, false}, 0, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortSelection, ASelectorCyclesThroughThreeStatesUntilItsPortOpens) {
    MapToPty(1);
    MapToPty(4);
    OpenDlg dlg;
    // Three clicks on COM4 and three presses of Space, each open failing: only the selector's
    // own state moves, unchecked, checked, indeterminate, unchecked; the link is left with no
    // port and the tooltip says why.
    platform::InjectPortFault(platform::PortCall::Open, EBUSY, 0, 6);
    for (Qt::CheckState state : {C, I, U}) {
        Click(dlg, kSelector[3].center());
        ExpectSelectors(dlg, {C, U, U, state}, {true, false, false, true});
    }
    for (Qt::CheckState state : {C, I, U}) {
        Key(dlg, Qt::Key_Space);  // the clicks left the focus on COM4
        ExpectSelectors(dlg, {C, U, U, state}, {true, false, false, true});
    }
    EXPECT_EQ(dlg.m_currentPort, 1);
    EXPECT_FALSE(dlg.m_link.IsPortOpen());
    EXPECT_FALSE(Held(Pty(1)));
    EXPECT_EQ(ToolTip(dlg, 4), Busy(4));

    // Now succeeding: COM4 alone is checked and held.
    Click(dlg, kSelector[3].center());
    ExpectSelectors(dlg, {U, U, U, C}, {true, false, false, true});
    EXPECT_EQ(dlg.m_currentPort, 4);
    EXPECT_TRUE(Held(Pty(4)));
    EXPECT_EQ(ToolTip(dlg, 4), "COM4: " + Pty(4));
    // Clicked again while checked: the port is opened again and the box checked again.
    platform::ResetPortFaults();
    Click(dlg, kSelector[3].center());
    ExpectSelectors(dlg, {U, U, U, C}, {true, false, false, true});
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 1u);
    EXPECT_TRUE(Held(Pty(4)));
}

TEST_F(PortSelection, ANewUserWithOneDeviceSeesWhyTheOthersAreNotOffered) {
    MapToPty(2);
    OpenDlg dlg;
    ExpectSelectors(dlg, {U, C, U, U}, {false, true, false, false});
    const auto why = [](int n) {
        return "COM" + std::to_string(n) + ": /nonexistent/vexlarin-com" + std::to_string(n) +
               "\nNot available: No such file or directory";
    };
    for (int n : {1, 3, 4}) {
        EXPECT_EQ(ToolTip(dlg, n), why(n));
    }
    // Hovering the "COM 1" label shows it.
    Activate(dlg);
    QTest::mouseMove(dlg.windowHandle(), kPortLabel[0].center());
    ProcessEventsUntil([] { return QToolTip::isVisible(); });
    EXPECT_EQ(QToolTip::text().toStdString(), why(1));
    // The disabled selectors stay as they are when clicked.
    Click(dlg, kSelector[0].center());
    ExpectSelectors(dlg, {U, C, U, U}, {false, true, false, false});
}

TEST_F(PortSelection, APortGivenAsASymlinkOpensAndIsGivenBack) {
    MapToPty(1);
    const std::string link = testing::TempDir() + "vexlarin-by-id-com3";
    unlink(link.c_str());
    ASSERT_EQ(symlink(Pty(1).c_str(), link.c_str()), 0) << std::strerror(errno);
    PortMapping com3(3, link);
    mappings[0].reset();
    {
        OpenDlg dlg;
        ExpectSelectors(dlg, {U, U, C, U}, {false, false, true, false});
        EXPECT_TRUE(Held(Pty(1)));
        EXPECT_EQ(ToolTip(dlg, 3), "COM3: " + link);
    }
    EXPECT_FALSE(Held(Pty(1)));
    unlink(link.c_str());
}

// A user with an adapter that no COM port names yet: the window says where to go; in the port
// dialog the adapter is among the devices found, picked for COM2 with the keyboard and kept in
// the port file with the user's other lines; the selectors are probed again at once.
TEST_F(PortSelection, ADevicePickedInThePortDialogIsWrittenAndProbedAtOnce) {
    TempDir root;
    ScopedEnv config("XDG_CONFIG_HOME", root / "config");
    ScopedEnv sys("VEXLARIN_SYSFS_ROOT", root / "sys");
    ScopedEnv dev("VEXLARIN_DEV_ROOT", root / "dev");
    PortMapping com2(2, "");  // left to the port file
    std::filesystem::create_directories(root / "config/vexlarin");
    std::ofstream(root / "config/vexlarin/ports") << "COM2=/nonexistent/unplugged\n# mine\n";
    // The adapter: its tty is the pseudo-terminal of this test.
    PtyPair adapter;
    std::filesystem::create_directories(root / "sys/devices/usb1/1-1/1-1:1.0");
    std::filesystem::create_directories(root / "sys/class/tty/ttyUSB0");
    std::filesystem::create_directories(root / "dev/serial/by-id");
    std::ofstream(root / "sys/devices/usb1/1-1/idVendor") << "0403\n";
    std::ofstream(root / "sys/devices/usb1/1-1/product") << "Bench adapter\n";
    std::filesystem::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.0",
                                              root / "sys/class/tty/ttyUSB0/device");
    std::filesystem::create_symlink(adapter.DevicePath(), root / "dev/ttyUSB0");
    std::filesystem::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-Bench-if00");

    OpenDlg dlg;
    ExpectSelectors(dlg, {U, U, U, U}, {false, false, false, false});
    EXPECT_EQ(dlg.m_status.text(), "No port opened: see Port devices...");

    ShowWatcher<PortDevicesDialog> devices([](PortDevicesDialog* d) {
        // From COM1's list of devices found to COM2's, whose first device is the adapter.
        Activate(*d);  // the keyboard is in COM1's list, as when the dialog comes up
        Key(*d, Qt::Key_Tab);
        Key(*d, Qt::Key_Tab);
        Key(*d, Qt::Key_Down);
        Key(*d, Qt::Key_Return);
    });
    Click(dlg, QPoint(400, 150), Qt::RightButton);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    Key(*menu, Qt::Key_P);
    EXPECT_EQ(devices.Seen(), 1);

    EXPECT_EQ(ReadFileText(root / "config/vexlarin/ports"),
              "COM2=" + root / "dev/serial/by-id/usb-Bench-if00" + "\n# mine\n");
    ExpectSelectors(dlg, {U, C, U, U}, {false, true, false, false});
    EXPECT_EQ(dlg.m_currentPort, 2);
    EXPECT_TRUE(Held(adapter.DevicePath()));
    EXPECT_EQ(dlg.m_status.text(), "");
}

}  // namespace
