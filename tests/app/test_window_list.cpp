// The List command in the window, end to end against the simulated camera on a pseudo-terminal:
// what the window shows and when, what the file gets, and closing the window while it runs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/gui_support.h"
#include "platform/port_faults.h"
#include "resources/resource.h"
#include "support/listing_fixture.h"

namespace {

// One ping, then per line a four-exchange handshake and three exchanges for each of 16 bytes.
constexpr int kPerLine = 4 + 3 * 16;

// Counts how often a widget was enabled or disabled.
class EnableCounter : public QObject {
public:
    explicit EnableCounter(QWidget* widget) { widget->installEventFilter(this); }
    int changes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        changes += event->type() == QEvent::EnabledChange;
        return false;
    }
};

using Enabled = std::array<bool, 4>;  // COM1 to COM4

// What the window showed at each status text: the camera's exchanges so far and the state of
// the buttons. The command thread waits while the text is set, so the count is exact.
struct StatusShown {
    std::string text;
    int exchanges;
    Enabled selectors;
    bool listEnabled;
};

class WindowList : public testing::Test {
protected:
    void SetUp() override {
        platform::ResetPortFaults();
        std::filesystem::current_path(dir.Path());  // where the command writes its file
    }
    void TearDown() override {
        dlg.reset();
        camera.reset();
        std::filesystem::current_path(m_oldDirectory);
    }

    // The camera on COM1, the other ports missing, and the window (open and recording each
    // status unless `create` is false, for a test that runs it modally).
    void Start(const std::vector<std::string>& cameraOptions, bool create = true) {
        camera = std::make_unique<SimulatedCamera>(dir / "camsim.log", cameraOptions);
        com1 = std::make_unique<PortMapping>(1, camera->DevicePath());
        dlg = std::make_unique<OpenDlg>();
        if (!create) {
            return;
        }
        ASSERT_TRUE(dlg->Create());
        ASSERT_EQ(dlg->m_currentPort, 1);
        auto* status = qobject_cast<QLineEdit*>(dlg->GetDlgItem(IDC_STATUS));
        QObject::connect(status, &QLineEdit::textChanged, status, [this](const QString& text) {
            shown.push_back({text.toStdString(), camera->Exchanges(), Selectors(),
                             dlg->m_listButton.IsWindowEnabled()});
            if (onStatus) {
                onStatus(text.toStdString());
            }
        });
    }
    Enabled Selectors() const {
        return {dlg->m_port1.IsWindowEnabled(), dlg->m_port2.IsWindowEnabled(),
                dlg->m_port3.IsWindowEnabled(), dlg->m_port4.IsWindowEnabled()};
    }
    // Each selector back to the state the probing gave it: only COM1 offered, and checked.
    void ExpectSelectorsAsAtStart() const {
        EXPECT_EQ(Selectors(), (Enabled{true, false, false, false}));
        EXPECT_EQ(dlg->m_port1.GetCheck(), 1);
    }
    void PressList() { QTest::mouseClick(dlg->GetDlgItem(IDOK), Qt::LeftButton); }
    void WaitForTheListingToEnd() {
        ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < dlg->m_lines.GetCount(); ++i) {
            lines.push_back(dlg->m_lines.GetText(i));
        }
        return lines;
    }
    std::vector<std::string> FileLines() const {
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitCrLf(ReadFileText(dir / "Vexlarin.txt"), lines));
        return lines;
    }

    const std::filesystem::path m_oldDirectory = std::filesystem::current_path();
    TempDir dir;
    AllPortsMissing ports;
    std::unique_ptr<SimulatedCamera> camera;
    std::unique_ptr<PortMapping> com1;
    std::unique_ptr<OpenDlg> dlg;
    std::vector<StatusShown> shown;
    std::function<void(const std::string&)> onStatus;
};

TEST_F(WindowList, ACompleteListingShowsEachStatusBeforeItsLineAndAppendsOneBlock) {
    Start({});
    std::ofstream(dir / "Vexlarin.txt", std::ios::binary) << "an earlier block\r\n";
    dlg->m_lines.AddString("a line from before");
    dlg->SetDlgItemText(IDC_PAGE, "3");
    platform::ResetPortFaults();  // count only the command's own opens

    QTest::keyClick(dlg->GetDlgItem(IDC_PAGE), Qt::Key_Return);
    ASSERT_TRUE(dlg->m_commandThread.joinable());
    const Enabled none{false, false, false, false};
    EXPECT_EQ(Selectors(), none);
    // While it runs (the thread is still waiting for this thread to read the page field), a
    // second press and a selector command that gets through anyway are both ignored.
    EXPECT_TRUE(dlg->m_listButton.IsWindowEnabled());
    PressList();
    QTest::keyClick(dlg->GetDlgItem(IDC_PAGE), Qt::Key_Return);
    dlg->SendCommand(IDC_PORT1);
    WaitForTheListingToEnd();

    ASSERT_EQ(shown.size(), 17u);
    for (int line = 0; line < 16; ++line) {
        SCOPED_TRACE("line " + std::to_string(line));
        EXPECT_EQ(shown[line].text, Progress(line));
        EXPECT_EQ(shown[line].exchanges, 1 + kPerLine * line);
        EXPECT_EQ(shown[line].selectors, none);
        EXPECT_FALSE(shown[line].listEnabled);
    }
    EXPECT_EQ(shown[16].text, kAdded);
    EXPECT_EQ(camera->Exchanges(), 1 + kPerLine * 16);
    EXPECT_EQ(Lines(), PageLines(3));
    // The earlier block kept, then the header, the 16 lines and the closing empty line.
    const auto expectBlock = [](const std::vector<std::string>& file, std::size_t at) {
        ASSERT_GE(file.size(), at + 18);
        // The date's own format is checked where it is made, with fixed times.
        EXPECT_TRUE(file[at].ends_with("   Page = 3")) << file[at];
        EXPECT_EQ(std::vector<std::string>(file.begin() + at + 1, file.begin() + at + 17),
                  PageLines(3));
        EXPECT_EQ(file[at + 17], "");
    };
    std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 19u);
    EXPECT_EQ(file[0], "an earlier block");
    expectBlock(file, 1);
    // Only the closing re-open touched the port; the link is open on COM1 again.
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 1u);
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    EXPECT_EQ(dlg->m_currentPort, 1);
    ExpectSelectorsAsAtStart();
    EXPECT_TRUE(dlg->m_listButton.IsWindowEnabled());
    EXPECT_EQ(dlg->m_status.GetWindowText(), kAdded);

    // The next press after the end runs a second listing, appended after the first.
    PressList();
    WaitForTheListingToEnd();
    EXPECT_EQ(camera->Exchanges(), 2 * (1 + kPerLine * 16));
    file = FileLines();
    ASSERT_EQ(file.size(), 37u);
    expectBlock(file, 19);
}

TEST_F(WindowList, ASilentCameraGivesOneWarningAndChangesNothing) {
    Start({"--silent-after", "0"});
    dlg->m_lines.AddString("a line from before");
    dlg->m_status.SetWindowText("status from before");
    EnableCounter listButton(dlg->GetDlgItem(IDOK));
    Enabled whileBoxOpen{true, true, true, true};
    BoxWatcher boxes([&](QMessageBox* box) {
        EXPECT_EQ(box->text().toStdString(), kTimeOutWarning);
        whileBoxOpen = Selectors();
        PressList();  // ignored from inside the box too
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });

    PressList();
    WaitForTheListingToEnd();

    EXPECT_EQ(boxes.Seen(), 1);
    EXPECT_EQ(whileBoxOpen, (Enabled{false, false, false, false}));
    EXPECT_EQ(camera->Exchanges(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Vexlarin.txt"));
    EXPECT_EQ(Lines(), std::vector<std::string>{"a line from before"});
    EXPECT_EQ(dlg->m_status.GetWindowText(), "status from before");
    EXPECT_EQ(listButton.changes, 0);
    EXPECT_TRUE(dlg->m_listButton.IsWindowEnabled());
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    ExpectSelectorsAsAtStart();
}

TEST_F(WindowList, ClosingTheWindowMidListingCancelsItAndKeepsWhatWasWritten) {
    // Slow replies, so that line 1 is still being read when the close comes.
    Start({"--pause", "10"});
    BoxWatcher boxes;
    onStatus = [this](const std::string& text) {
        if (text == Progress(1)) {
            QTimer::singleShot(0, dlg->Window(), [this] { dlg->Window()->close(); });
        }
    };
    PressList();
    ProcessEventsUntil([this] { return dlg->IsEnded(); });

    // The close joined the command thread before it returned.
    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(dlg->Result(), IDCANCEL);
    const int atClose = camera->Exchanges();
    camera->Stop();
    // At most the command already on the line when the close came; nothing of line 2.
    EXPECT_LE(camera->Exchanges(), atClose + 1);
    EXPECT_GE(camera->Exchanges(), 1 + kPerLine);
    EXPECT_LT(camera->Exchanges(), 1 + 2 * kPerLine);
    EXPECT_EQ(boxes.Seen(), 0);

    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 2u);  // the header and line 0: no "XXXX", no closing empty line
    EXPECT_NE(file[0].find("   Page = 0"), std::string::npos);
    EXPECT_EQ(file[1], ExpectedLine(0, 0));
    EXPECT_EQ(Lines(), std::vector<std::string>{ExpectedLine(0, 0)});
}

TEST_F(WindowList, ClosingTheWindowWithAWarningOpenEndsTheRunCleanly) {
    // The camera answers the ping, line 0 and ten exchanges of line 1, then falls silent.
    const int answered = 1 + kPerLine + 10;
    Start({"--silent-after", std::to_string(answered)}, false);
    BoxWatcher boxes([this](QMessageBox*) { dlg->Window()->close(); });
    QTimer::singleShot(0, [this] { PressList(); });

    EXPECT_EQ(dlg->DoModal(), IDCANCEL);

    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(dlg->Window(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(FindVisibleWindow("Application Error"), nullptr);
    EXPECT_EQ(boxes.Seen(), 1);
    camera->Stop();
    // The unanswered command and nothing after it.
    EXPECT_EQ(camera->Exchanges(), answered + 1);
    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[1], ExpectedLine(0, 0));
}

}  // namespace
