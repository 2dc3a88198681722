// Which ports the window offers and which one it uses: the probing at start, the selectors, and
// the labels' tooltips that say why a port is not offered. Every port is a pseudo-terminal or a
// path that does not exist.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QTest>
#include <cerrno>
#include <memory>

#include "app/gui_support.h"
#include "app/port_tooltip.h"
#include "platform/port_faults.h"
#include "resources/resource.h"
#include "support/pty_pair.h"

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
    EXPECT_EQ(DeviceGroupName(device), "54321");
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
    std::unique_ptr<OpenDlg> Open() {
        auto dlg = std::make_unique<OpenDlg>();
        EXPECT_TRUE(dlg->Create());
        return dlg;
    }
    static void ExpectSelectors(OpenDlg& dlg, std::array<int, 4> checks,
                                std::array<bool, 4> enabled) {
        const CButton* boxes[4] = {&dlg.m_port1, &dlg.m_port2, &dlg.m_port3, &dlg.m_port4};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(boxes[i]->GetCheck(), checks[i]) << "COM" << i + 1 << " check";
            EXPECT_EQ(boxes[i]->IsWindowEnabled(), enabled[i]) << "COM" << i + 1 << " enabled";
        }
    }
    static void Click(OpenDlg& dlg, int id) {
        QTest::mouseClick(dlg.GetDlgItem(id), Qt::LeftButton);
    }
    std::string ToolTip(OpenDlg& dlg, int port) {
        QWidget* label = dlg.GetTemplateItem(static_cast<std::size_t>(5 + port));
        return label->toolTip().toStdString();
    }
    std::string Busy(int port) {
        return "COM" + std::to_string(port) + ": " + Pty(port) +
               "\nNot available: Device or resource busy (held by another program)";
    }

    AllPortsMissing missing;
    std::unique_ptr<PtyPair> ptys[4];
    std::unique_ptr<PortMapping> mappings[4];
};

struct Probing {
    const char* name;
    std::vector<int> ptys;  // the ports that open
    std::array<int, 4> checks;
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
    auto dlg = Open();
    ExpectSelectors(*dlg, want.checks, want.enabled);
    EXPECT_EQ(dlg->m_currentPort, want.current);
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), want.opens);
    EXPECT_EQ(dlg->m_link.IsPortOpen(), want.current != 0);
    for (int n : want.ptys) {
        EXPECT_EQ(Held(Pty(n)), n == want.current) << "COM" << n;
        EXPECT_EQ(ToolTip(*dlg, n), "COM" + std::to_string(n) + ": " + Pty(n));
    }
    EXPECT_EQ(dlg->GetDlgItemText(IDC_PAGE), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Probe,
    testing::Values(Probing{"All", {1, 2, 3, 4}, {1, 0, 0, 0}, {true, true, true, true}, 1, 5},
                    Probing{"OnlyCom3", {3}, {0, 0, 1, 0}, {false, false, true, false}, 3, 5},
                    // COM2 is opened again after the COM1 probe has failed.
                    Probing{"Com4AndCom2", {4, 2}, {0, 1, 0, 0}, {false, true, false, true}, 2, 5},
                    Probing{"None", {}, {0, 0, 0, 0}, {false, false, false, false}, 0, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortSelection, SwitchingToCom4FailsThenSucceeds) {
    MapToPty(1);
    MapToPty(4);
    auto dlg = Open();
    // Failing: only the click's own state changes, the link is left with no port, and the
    // tooltip says why.
    platform::InjectPortFault(platform::PortCall::Open, EBUSY);
    Click(*dlg, IDC_PORT4);
    ExpectSelectors(*dlg, {1, 0, 0, 1}, {true, false, false, true});
    EXPECT_EQ(dlg->m_currentPort, 1);
    EXPECT_FALSE(dlg->m_link.IsPortOpen());
    EXPECT_FALSE(Held(Pty(1)));
    EXPECT_EQ(ToolTip(*dlg, 4), Busy(4));

    // Clicked again (checked goes to indeterminate), now succeeding: COM4 alone is checked.
    Click(*dlg, IDC_PORT4);
    ExpectSelectors(*dlg, {0, 0, 0, 1}, {true, false, false, true});
    EXPECT_EQ(dlg->m_currentPort, 4);
    EXPECT_TRUE(Held(Pty(4)));
    EXPECT_FALSE(Held(Pty(1)));
    EXPECT_EQ(ToolTip(*dlg, 4), "COM4: " + Pty(4));
}

TEST_F(PortSelection, ClickingTheCheckedSelectorReopensItsPort) {
    MapToPty(1);
    MapToPty(2);
    auto dlg = Open();
    // The open fails: the box shows the click's indeterminate state, nothing else changes.
    platform::InjectPortFault(platform::PortCall::Open, ENOENT);
    Click(*dlg, IDC_PORT1);
    ExpectSelectors(*dlg, {2, 0, 0, 0}, {true, true, false, false});
    EXPECT_EQ(dlg->m_currentPort, 1);
    EXPECT_FALSE(Held(Pty(1)));
    // Clicked again (indeterminate goes to unchecked) with the open succeeding: checked again.
    platform::ResetPortFaults();
    Click(*dlg, IDC_PORT1);
    ExpectSelectors(*dlg, {1, 0, 0, 0}, {true, true, false, false});
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 1u);
    EXPECT_TRUE(Held(Pty(1)));
}

TEST_F(PortSelection, APortHeldByAnotherProgramIsOfferedOnceItLetsGo) {
    MapToPty(2);
    MapToPty(3);
    // The other program's own open and lock.
    const int other = open(Pty(2).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0) << std::strerror(errno);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
    {
        auto dlg = Open();
        ExpectSelectors(*dlg, {0, 0, 1, 0}, {false, false, true, false});
        EXPECT_EQ(ToolTip(*dlg, 2), Busy(2));
    }
    close(other);
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, true, false});
    EXPECT_EQ(dlg->m_currentPort, 2);
    EXPECT_TRUE(Held(Pty(2)));
}

TEST_F(PortSelection, ANewUserWithOneDeviceSeesWhyTheOthersAreNotOffered) {
    MapToPty(2);
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, false, false});
    for (int n : {1, 3, 4}) {
        EXPECT_EQ(ToolTip(*dlg, n), "COM" + std::to_string(n) + ": /nonexistent/vexlarin-com" +
                                        std::to_string(n) +
                                        "\nNot available: No such file or directory");
    }
    // The disabled selectors stay as they are when clicked.
    Click(*dlg, IDC_PORT1);
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, false, false});
}

TEST_F(PortSelection, APortGivenAsASymlinkOpensAndIsGivenBack) {
    MapToPty(1);
    const std::string link = testing::TempDir() + "vexlarin-by-id-com3";
    unlink(link.c_str());
    ASSERT_EQ(symlink(Pty(1).c_str(), link.c_str()), 0) << std::strerror(errno);
    PortMapping com3(3, link);
    mappings[0].reset();
    {
        auto dlg = Open();
        ExpectSelectors(*dlg, {0, 0, 1, 0}, {false, false, true, false});
        EXPECT_TRUE(Held(Pty(1)));
        EXPECT_EQ(ToolTip(*dlg, 3), "COM3: " + link);
    }
    EXPECT_FALSE(Held(Pty(1)));
    unlink(link.c_str());
}

}  // namespace
