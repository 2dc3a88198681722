// The List command in the window, end to end against the simulated camera on a pseudo-terminal:
// what the window shows and when, what the file gets, and closing the window while it runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/gui_support.h"
#include "platform/port_faults.h"
#include "support/listing_fixture.h"

namespace {

// One ping, then per line a four-exchange handshake and three exchanges for each of 16 bytes.
constexpr int kPerLine = 4 + 3 * 16;
constexpr int kPage = 1 + kPerLine * 16;

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

    // The camera on COM1, the other ports missing, and the window, recording each status.
    void Start(const std::vector<std::string>& cameraOptions) {
        camera = std::make_unique<SimulatedCamera>(dir / "camsim.log", cameraOptions);
        com1 = std::make_unique<PortMapping>(1, camera->DevicePath());
        dlg = std::make_unique<OpenDlg>();
        ASSERT_EQ(dlg->m_currentPort, 1);
        QObject::connect(&dlg->m_status, &QLineEdit::textChanged, [this](const QString& text) {
            shown.push_back({text.toStdString(), camera->Exchanges(), Selectors(),
                             dlg->m_listButton.isEnabled()});
            if (onStatus) {
                onStatus(text.toStdString());
            }
        });
    }
    Enabled Selectors() const {
        return {dlg->Selector(1).isEnabled(), dlg->Selector(2).isEnabled(),
                dlg->Selector(3).isEnabled(), dlg->Selector(4).isEnabled()};
    }
    // Each selector back to the state the probing gave it: only COM1 offered, and checked.
    void ExpectSelectorsAsAtStart() {
        EXPECT_EQ(Selectors(), (Enabled{true, false, false, false}));
        EXPECT_EQ(dlg->Selector(1).checkState(), Qt::Checked);
    }
    void PressList() { Click(*dlg, kListButton.center()); }
    void WaitForTheListingToEnd() {
        ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < dlg->m_lines.count(); ++i) {
            lines.push_back(dlg->m_lines.item(i)->text().toStdString());
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
    TypePage(*dlg, "3");
    platform::ResetPortFaults();  // count only the command's own opens

    Key(*dlg, Qt::Key_Return);
    ASSERT_TRUE(dlg->m_commandThread.joinable());
    const Enabled none{false, false, false, false};
    EXPECT_EQ(Selectors(), none);
    // While it runs (the thread is still waiting for this thread to read the page field), a
    // second press and a click on a selector are both ignored.
    EXPECT_TRUE(dlg->m_listButton.isEnabled());
    PressList();
    Key(*dlg, Qt::Key_Return);
    Click(*dlg, kSelector[0].center());
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
    EXPECT_EQ(camera->Exchanges(), kPage);
    EXPECT_EQ(Lines(), PageLines(3));
    // The earlier block kept, then the header, the 16 lines and the closing empty line.
    const std::string earlier = "an earlier block\r\n";
    std::string file = ReadFileText(dir / "Vexlarin.txt");
    ASSERT_TRUE(file.starts_with(earlier));
    ExpectBlock(file.substr(earlier.size()), '3', PageLines(3));
    // Only the closing re-open touched the port; the link is open on COM1 again.
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 1u);
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    EXPECT_EQ(dlg->m_currentPort, 1);
    ExpectSelectorsAsAtStart();
    EXPECT_TRUE(dlg->m_listButton.isEnabled());
    EXPECT_EQ(dlg->m_status.text().toStdString(), kAdded);

    // The next press after the end runs a second listing, appended after the first, and the
    // list shows only its lines.
    PressList();
    WaitForTheListingToEnd();
    EXPECT_EQ(camera->Exchanges(), 2 * kPage);
    const std::string first = file;
    file = ReadFileText(dir / "Vexlarin.txt");
    ASSERT_TRUE(file.starts_with(first));
    ExpectBlock(file.substr(first.size()), '3', PageLines(3));
    EXPECT_EQ(Lines(), PageLines(3));
}

TEST_F(WindowList, ACameraThatFallsSilentGivesOneWarningAndChangesNothing) {
    // A complete listing, then silence from the next ping on.
    Start({"--silent-after", std::to_string(kPage)});
    PressList();
    WaitForTheListingToEnd();
    const std::string before = ReadFileText(dir / "Vexlarin.txt");
    Enabled whileBoxOpen{true, true, true, true};
    bool listEnabledWhileBoxOpen = false;
    BoxWatcher boxes([&](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Application Error");
        EXPECT_EQ(box->text().toStdString(), kTimeOutWarning);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        // Above the window without blocking it, and it has the keyboard.
        EXPECT_EQ(box->parentWidget(), dlg.get());
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        ProcessEventsUntil([&] { return box->isActiveWindow(); });
        whileBoxOpen = Selectors();
        listEnabledWhileBoxOpen = dlg->m_listButton.isEnabled();  // only lines disable it
        PressList();                                              // ignored from inside the box too
        Key(*box, Qt::Key_Escape);
    });

    PressList();
    WaitForTheListingToEnd();

    EXPECT_EQ(boxes.Seen(), 1);
    EXPECT_EQ(whileBoxOpen, (Enabled{false, false, false, false}));
    EXPECT_EQ(camera->Exchanges(), kPage + 1);
    EXPECT_EQ(ReadFileText(dir / "Vexlarin.txt"), before);
    EXPECT_EQ(Lines(), PageLines(0));
    EXPECT_EQ(dlg->m_status.text().toStdString(), kAdded);
    EXPECT_TRUE(listEnabledWhileBoxOpen);
    EXPECT_TRUE(dlg->m_listButton.isEnabled());
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    ExpectSelectorsAsAtStart();
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(WindowList, ClosingTheWindowMidListingCancelsItAndKeepsWhatWasWritten) {
    // Slow replies, so that line 1 is still being read when the close comes.
    Start({"--pause", "10"});
    BoxWatcher boxes;
    onStatus = [this](const std::string& text) {
        if (text == Progress(1)) {
            QTimer::singleShot(0, dlg.get(), [this] { Key(*dlg, Qt::Key_Escape); });
        }
    };
    PressList();
    ProcessEventsUntil([this] { return !dlg->isVisible(); });

    // The close joined the command thread before it returned.
    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
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
    Start({"--silent-after", std::to_string(answered)});
    BoxWatcher boxes([this](QMessageBox*) { dlg->windowHandle()->close(); });
    PressList();
    ProcessEventsUntil([this] { return !dlg->isVisible(); });

    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(boxes.Seen(), 1);
    for (QMessageBox* box : dlg->findChildren<QMessageBox*>()) {
        EXPECT_FALSE(box->isVisible());
    }
    camera->Stop();
    // The unanswered command and nothing after it.
    EXPECT_EQ(camera->Exchanges(), answered + 1);
    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[1], ExpectedLine(0, 0));
}

}  // namespace
