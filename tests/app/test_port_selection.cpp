// Which ports the window offers and which one it uses: the probing at start, the selectors, and
// the labels' tooltips that say why a port is not offered. Every port is a pseudo-terminal or a
// path that does not exist.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCheckBox>
#include <QTest>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "app/gui_support.h"
#include "app/port_tooltip.h"
#include "platform/port_faults.h"
#include "resources/resource.h"
#include "support/pty_pair.h"

namespace {

const std::string kMissing = "/nonexistent/vexlarin-com";

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

// Another program's hold on a device: its own open and lock, until it lets go.
class OtherProgram {
public:
    explicit OtherProgram(const std::string& device)
        : m_fd(open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        EXPECT_GE(m_fd, 0) << device << ": " << std::strerror(errno);
        EXPECT_EQ(flock(m_fd, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
    }
    ~OtherProgram() { LetGo(); }
    void LetGo() {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd;
};

struct Selectors {
    int checks[4];
    bool enabled[4];
};

class PortSelection : public testing::Test {
protected:
    void SetUp() override { platform::ResetPortFaults(); }
    void TearDown() override { platform::ResetPortFaults(); }

    // Maps COMn to a fresh pseudo-terminal, or to a path that does not exist.
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
    static Selectors State(OpenDlg& dlg) {
        CButton* boxes[4] = {&dlg.m_port1, &dlg.m_port2, &dlg.m_port3, &dlg.m_port4};
        Selectors s{};
        for (int i = 0; i < 4; ++i) {
            s.checks[i] = boxes[i]->GetCheck();
            s.enabled[i] = boxes[i]->IsWindowEnabled();
        }
        return s;
    }
    static void ExpectSelectors(OpenDlg& dlg, std::array<int, 4> checks,
                                std::array<bool, 4> enabled) {
        const Selectors s = State(dlg);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(s.checks[i], checks[i]) << "COM" << i + 1 << " check";
            EXPECT_EQ(s.enabled[i], enabled[i]) << "COM" << i + 1 << " enabled";
        }
    }
    static void Click(OpenDlg& dlg, int id) {
        QTest::mouseClick(dlg.GetDlgItem(id), Qt::LeftButton);
    }
    static std::string ToolTip(OpenDlg& dlg, int port) {
        QWidget* label = dlg.GetTemplateItem(static_cast<std::size_t>(5 + port));
        EXPECT_EQ(label->property("text").toString(), QString("COM %1").arg(port));
        return label->toolTip().toStdString();
    }

    AllPortsMissing missing;
    std::unique_ptr<PtyPair> ptys[4];
    std::unique_ptr<PortMapping> mappings[4];
};

TEST(PortToolTipText, NamesTheDeviceAndWhyItDidNotOpen) {
    EXPECT_EQ(PortToolTip(1, "/dev/ttyUSB0", 0), "COM1: /dev/ttyUSB0");
    EXPECT_EQ(PortToolTip(3, "/dev/ttyS2", ENOENT),
              "COM3: /dev/ttyS2\nNot available: No such file or directory");
    EXPECT_EQ(PortToolTip(2, "/dev/ttyS1", EBUSY),
              "COM2: /dev/ttyS1\nNot available: Device or resource busy (held by another "
              "program)");
    EXPECT_EQ(PortToolTip(4, "/dev/ttyS3", EIO),
              "COM4: /dev/ttyS3\nNot available: Input/output error");
    // A device that cannot even be looked at has no group to name.
    EXPECT_EQ(PortToolTip(4, "/nonexistent/tty", EACCES),
              "COM4: /nonexistent/tty\nNot available: Permission denied (the user must be in "
              "the group that owns the device)");
}

TEST(PortToolTipText, PermissionDeniedNamesTheGroupThatOwnsTheDevice) {
    const std::string device = testing::TempDir() + "vexlarin-group-device";
    ASSERT_EQ(close(open(device.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    const group* daemon = getgrnam("daemon");
    if (!daemon || chown(device.c_str(), static_cast<uid_t>(-1), daemon->gr_gid) != 0) {
        unlink(device.c_str());
        GTEST_SKIP() << "cannot give a file to the group daemon here";
    }
    EXPECT_EQ(PortToolTip(1, device, EACCES),
              "COM1: " + device +
                  "\nNot available: Permission denied (the user must be in the group \"daemon\" "
                  "that owns the device)");
    // A group without a name is given by its number.
    constexpr gid_t kNamelessGroup = 54321;
    ASSERT_EQ(getgrgid(kNamelessGroup), nullptr);
    ASSERT_EQ(chown(device.c_str(), static_cast<uid_t>(-1), kNamelessGroup), 0);
    EXPECT_EQ(DeviceGroupName(device), "54321");
    unlink(device.c_str());
}

TEST_F(PortSelection, AllFourOpenCom1IsCheckedAndOpenedTwice) {
    for (int n = 1; n <= 4; ++n) {
        MapToPty(n);
    }
    auto dlg = Open();
    ExpectSelectors(*dlg, {1, 0, 0, 0}, {true, true, true, true});
    EXPECT_EQ(dlg->m_currentPort, 1);
    // Four probes and the re-open; the link holds COM1 and nothing else.
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 5u);
    EXPECT_TRUE(Held(Pty(1)));
    EXPECT_FALSE(Held(Pty(2)));
    EXPECT_FALSE(Held(Pty(4)));
    EXPECT_EQ(dlg->GetDlgItemText(IDC_PAGE), "0");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(ToolTip(*dlg, n), "COM" + std::to_string(n) + ": " + Pty(n));
    }
}

TEST_F(PortSelection, OnlyCom3Opens) {
    MapToPty(3);
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 0, 1, 0}, {false, false, true, false});
    EXPECT_EQ(dlg->m_currentPort, 3);
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 5u);
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    EXPECT_TRUE(Held(Pty(3)));
}

TEST_F(PortSelection, Com4AndCom2OpenCom2IsOpenAgainAfterTheCom1Probe) {
    MapToPty(4);
    MapToPty(2);
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, false, true});
    EXPECT_EQ(dlg->m_currentPort, 2);
    EXPECT_TRUE(Held(Pty(2)));
    EXPECT_FALSE(Held(Pty(4)));
}

TEST_F(PortSelection, NoPortOpens) {
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 0, 0, 0}, {false, false, false, false});
    EXPECT_EQ(dlg->m_currentPort, 0);
    // No re-open after four failed probes.
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 4u);
    EXPECT_FALSE(dlg->m_link.IsPortOpen());
    EXPECT_EQ(dlg->GetDlgItemText(IDC_PAGE), "0");
    EXPECT_TRUE(dlg->Window()->isVisible());
}

TEST_F(PortSelection, SwitchingToCom4FailsThenSucceeds) {
    MapToPty(1);
    MapToPty(4);
    auto dlg = Open();
    ASSERT_EQ(dlg->m_currentPort, 1);

    // Failing: only the click's own state changes, the link is left with no port, and the
    // tooltip says why.
    platform::InjectPortFault(platform::PortCall::Open, EBUSY);
    Click(*dlg, IDC_PORT4);
    ExpectSelectors(*dlg, {1, 0, 0, 1}, {true, false, false, true});
    EXPECT_EQ(dlg->m_currentPort, 1);
    EXPECT_FALSE(dlg->m_link.IsPortOpen());
    EXPECT_FALSE(Held(Pty(1)));
    EXPECT_EQ(ToolTip(*dlg, 4), "COM4: " + Pty(4) +
                                    "\nNot available: Device or resource busy (held by another "
                                    "program)");

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
    EXPECT_EQ(ToolTip(*dlg, 1), "COM1: " + Pty(1));
}

TEST_F(PortSelection, APortHeldByAnotherProgramIsOfferedOnceItLetsGo) {
    MapToPty(2);
    MapToPty(3);
    OtherProgram other(Pty(2));
    {
        auto dlg = Open();
        ExpectSelectors(*dlg, {0, 0, 1, 0}, {false, false, true, false});
        EXPECT_EQ(dlg->m_currentPort, 3);
        EXPECT_EQ(ToolTip(*dlg, 2),
                  "COM2: " + Pty(2) +
                      "\nNot available: Device or resource busy (held by another program)");
    }
    other.LetGo();
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, true, false});
    EXPECT_EQ(dlg->m_currentPort, 2);
    EXPECT_TRUE(Held(Pty(2)));
    EXPECT_EQ(ToolTip(*dlg, 2), "COM2: " + Pty(2));
}

TEST_F(PortSelection, ANewUserWithOneDeviceSeesWhyTheOthersAreNotOffered) {
    MapToPty(2);
    auto dlg = Open();
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, false, false});
    EXPECT_EQ(ToolTip(*dlg, 2), "COM2: " + Pty(2));
    for (int n : {1, 3, 4}) {
        EXPECT_EQ(ToolTip(*dlg, n), "COM" + std::to_string(n) + ": " + kMissing +
                                        std::to_string(n) +
                                        "\nNot available: No such file or directory");
    }
    // The disabled selectors stay as they are when clicked.
    Click(*dlg, IDC_PORT1);
    ExpectSelectors(*dlg, {0, 1, 0, 0}, {false, true, false, false});
}

TEST_F(PortSelection, APortGivenAsASymlinkOpens) {
    PtyPair pty;
    const std::string link = testing::TempDir() + "vexlarin-by-id-com3";
    unlink(link.c_str());
    ASSERT_EQ(symlink(pty.DevicePath().c_str(), link.c_str()), 0) << std::strerror(errno);
    PortMapping com3(3, link);
    {
        auto dlg = Open();
        ExpectSelectors(*dlg, {0, 0, 1, 0}, {false, false, true, false});
        EXPECT_TRUE(Held(pty.DevicePath()));
        EXPECT_EQ(ToolTip(*dlg, 3), "COM3: " + link);
    }
    // Closing gave the device back, through the symlink too.
    EXPECT_FALSE(Held(pty.DevicePath()));
    unlink(link.c_str());
}

}  // namespace
