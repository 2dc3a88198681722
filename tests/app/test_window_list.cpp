// The List command in the window, end to end against the simulated camera on a pseudo-terminal:
// what the window shows and when, what the file gets, and closing the window while it runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/gui_support.h"
#include "listing/listing_support.h"
#include "platform/port_faults.h"
#include "resources/resource.h"
#include "support/pty_pair.h"

namespace {

const char* const kFinished = "Finished - added to Vexlarin.txt";
// One ping, then per line a four-exchange handshake and three exchanges for each of 16 bytes.
constexpr int kPing = 1;
constexpr int kPerLine = 4 + 3 * 16;

std::string Progress(int line) {
    const char digit = "0123456789ABCDEF"[line];
    return std::string("Please wait - reading address  ") + digit + "0 - " + digit + "F...";
}

// The date as the header must give it, with the English names whatever the locale.
std::string EnglishDate(std::time_t when) {
    static const char* const days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                       "Thursday", "Friday", "Saturday"};
    static const char* const months[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %s %02d, %d", days[local.tm_wday], months[local.tm_mon],
                  local.tm_mday, local.tm_year + 1900);
    return text;
}

QMessageBox* VisibleBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Counts the warning boxes that show and, once each is up, runs `act` from the event loop.
class BoxWatcher : public QObject {
public:
    explicit BoxWatcher(std::function<void(QMessageBox*)> act = {}) : m_act(std::move(act)) {
        qApp->installEventFilter(this);
    }
    ~BoxWatcher() override { qApp->removeEventFilter(this); }
    int Seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show) {
            ++m_seen;
            if (m_act) {
                QTimer::singleShot(0, box, [this, box] { m_act(box); });
            }
        }
        return false;
    }

private:
    std::function<void(QMessageBox*)> m_act;
    int m_seen = 0;
};

// Counts how often a widget was enabled or disabled.
class EnableCounter : public QObject {
public:
    explicit EnableCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Changes() const { return m_changes; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            ++m_changes;
        }
        return false;
    }

private:
    int m_changes = 0;
};

// What the window showed at each status text: the camera's exchanges so far and the state of
// the buttons. The command thread waits while the text is set, so the count is exact.
struct StatusShown {
    std::string text;
    int exchanges;
    bool selectorsDisabled;
    bool listEnabled;
};

class WindowList : public testing::Test {
protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        m_oldDirectory = cwd;
        ASSERT_EQ(chdir(dir.Path().c_str()), 0);
        platform::ResetPortFaults();
    }
    void TearDown() override {
        dlg.reset();
        camera.reset();
        ASSERT_EQ(chdir(m_oldDirectory.c_str()), 0);
    }

    // The camera on COM1, the other ports missing, and the window (open unless `create` is
    // false, for a test that runs it modally).
    void Start(const std::vector<std::string>& cameraOptions, bool create = true) {
        camera = std::make_unique<SimulatedCamera>(dir / "camsim.log", cameraOptions);
        com1 = std::make_unique<PortMapping>(1, camera->DevicePath());
        dlg = std::make_unique<OpenDlg>();
        if (create) {
            ASSERT_TRUE(dlg->Create());
            ASSERT_EQ(dlg->m_currentPort, 1);
        }
    }

    void RecordStatus(const std::function<void(const std::string&)>& also = {}) {
        auto* status = qobject_cast<QLineEdit*>(dlg->GetDlgItem(IDC_STATUS));
        QObject::connect(status, &QLineEdit::textChanged, status, [this, also](const QString& t) {
            const std::string text = t.toStdString();
            shown.push_back({text, camera->Exchanges(), SelectorsDisabled(),
                             dlg->m_listButton.IsWindowEnabled()});
            if (also) {
                also(text);
            }
        });
    }

    bool SelectorsDisabled() const {
        return !dlg->m_port1.IsWindowEnabled() && !dlg->m_port2.IsWindowEnabled() &&
               !dlg->m_port3.IsWindowEnabled() && !dlg->m_port4.IsWindowEnabled();
    }
    void ExpectSelectorsAsAtStart() const {
        EXPECT_TRUE(dlg->m_port1.IsWindowEnabled());
        EXPECT_FALSE(dlg->m_port2.IsWindowEnabled());
        EXPECT_FALSE(dlg->m_port3.IsWindowEnabled());
        EXPECT_FALSE(dlg->m_port4.IsWindowEnabled());
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

    TempDir dir;
    AllPortsMissing ports;
    std::unique_ptr<SimulatedCamera> camera;
    std::unique_ptr<PortMapping> com1;
    std::unique_ptr<OpenDlg> dlg;
    std::vector<StatusShown> shown;

private:
    std::string m_oldDirectory;
};

TEST_F(WindowList, ACompleteListingShowsEachLineAndAppendsOneBlock) {
    Start({});
    std::ofstream(dir / "Vexlarin.txt", std::ios::binary) << "an earlier block\r\n";
    dlg->m_lines.AddString("a line from before");
    dlg->SetDlgItemText(IDC_PAGE, "3");
    RecordStatus();
    platform::ResetPortFaults();  // count only the command's own opens
    const std::time_t before = std::time(nullptr);

    QTest::keyClick(dlg->GetDlgItem(IDC_PAGE), Qt::Key_Return);
    ASSERT_TRUE(dlg->m_commandThread.joinable());
    EXPECT_TRUE(SelectorsDisabled());
    // While it runs (the thread is still waiting for this thread to read the page field), a
    // second press and a selector command that gets through anyway are both ignored.
    EXPECT_TRUE(dlg->m_listButton.IsWindowEnabled());
    PressList();
    QTest::keyClick(dlg->GetDlgItem(IDC_PAGE), Qt::Key_Return);
    dlg->SendCommand(IDC_PORT1);
    WaitForTheListingToEnd();
    const std::time_t after = std::time(nullptr);

    ASSERT_EQ(shown.size(), 17u);
    for (int line = 0; line < 16; ++line) {
        SCOPED_TRACE("line " + std::to_string(line));
        EXPECT_EQ(shown[line].text, Progress(line));
        EXPECT_EQ(shown[line].exchanges, kPing + kPerLine * line);
        EXPECT_TRUE(shown[line].selectorsDisabled);
        EXPECT_FALSE(shown[line].listEnabled);
    }
    EXPECT_EQ(shown[16].text, kFinished);
    EXPECT_EQ(shown[16].exchanges, kPing + kPerLine * 16);
    EXPECT_EQ(camera->Exchanges(), 833);

    std::vector<std::string> expectedLines;
    for (int line = 0; line < 16; ++line) {
        expectedLines.push_back(ExpectedLine(3, line));
    }
    EXPECT_EQ(Lines(), expectedLines);

    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 19u);
    EXPECT_EQ(file[0], "an earlier block");
    const std::string header = file[1];
    EXPECT_TRUE(header == EnglishDate(before) + "   Page = 3" ||
                header == EnglishDate(after) + "   Page = 3")
        << header;
    EXPECT_EQ(std::vector<std::string>(file.begin() + 2, file.begin() + 18), expectedLines);
    EXPECT_EQ(file[18], "");

    // Only the closing re-open touched the port; the link is open on COM1 again.
    EXPECT_EQ(platform::PortCallCount(platform::PortCall::Open), 1u);
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    EXPECT_EQ(dlg->m_currentPort, 1);
    ExpectSelectorsAsAtStart();
    EXPECT_TRUE(dlg->m_listButton.IsWindowEnabled());
    EXPECT_EQ(dlg->m_status.GetWindowText(), kFinished);
}

TEST_F(WindowList, TheNextPressAfterTheEndRunsASecondListing) {
    Start({});
    PressList();
    WaitForTheListingToEnd();
    PressList();
    WaitForTheListingToEnd();
    EXPECT_EQ(camera->Exchanges(), 2 * 833);
    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 36u);
    EXPECT_EQ(file[18 + 16], ExpectedLine(0, 15));
}

TEST_F(WindowList, ASilentCameraGivesOneWarningAndChangesNothing) {
    Start({"--silent-after", "0"});
    dlg->m_lines.AddString("a line from before");
    dlg->m_status.SetWindowText("status from before");
    EnableCounter listButton(dlg->GetDlgItem(IDOK));
    bool selectorsDisabledWhileBoxOpen = false;
    BoxWatcher boxes([&](QMessageBox* box) {
        EXPECT_NE(box->text().toStdString().find("DV Camera not responding"), std::string::npos);
        selectorsDisabledWhileBoxOpen = SelectorsDisabled();
        // A press from inside the box is ignored too.
        PressList();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });

    PressList();
    WaitForTheListingToEnd();

    EXPECT_EQ(boxes.Seen(), 1);
    EXPECT_TRUE(selectorsDisabledWhileBoxOpen);
    EXPECT_EQ(camera->Exchanges(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Vexlarin.txt"));
    EXPECT_EQ(Lines(), std::vector<std::string>{"a line from before"});
    EXPECT_EQ(dlg->m_status.GetWindowText(), "status from before");
    EXPECT_EQ(listButton.Changes(), 0);
    EXPECT_TRUE(dlg->m_listButton.IsWindowEnabled());
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    ExpectSelectorsAsAtStart();
}

TEST_F(WindowList, TheClosingReopenBringsTheToolTipUpToDate) {
    Start({"--silent-after", "0"});
    BoxWatcher boxes([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    // The device goes away while the port is still open: the listing's re-open finds it gone.
    PortMapping gone(1, "/nonexistent/unplugged-adapter");
    PressList();
    WaitForTheListingToEnd();
    EXPECT_FALSE(dlg->m_link.IsPortOpen());
    EXPECT_EQ(dlg->GetTemplateItem(6)->toolTip().toStdString(),
              "COM1: /nonexistent/unplugged-adapter\nNot available: No such file or directory");
    EXPECT_EQ(dlg->m_currentPort, 1);
    ExpectSelectorsAsAtStart();
}

TEST_F(WindowList, ClosingTheWindowMidListingCancelsItAndKeepsWhatWasWritten) {
    // Slow replies, so that line 1 is still being read when the close comes.
    Start({"--pause", "10"});
    BoxWatcher boxes;
    RecordStatus([this](const std::string& text) {
        if (text == Progress(1)) {
            QTimer::singleShot(0, dlg->Window(), [this] { dlg->Window()->close(); });
        }
    });
    PressList();
    ProcessEventsUntil([this] { return dlg->IsEnded(); });

    // The close joined the command thread before it returned.
    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(dlg->Result(), IDCANCEL);
    const int atClose = camera->Exchanges();
    camera->Stop();
    // At most the command already on the line when the close came; nothing of line 2.
    EXPECT_LE(camera->Exchanges(), atClose + 1);
    EXPECT_GE(camera->Exchanges(), kPing + kPerLine);
    EXPECT_LT(camera->Exchanges(), kPing + 2 * kPerLine);
    EXPECT_EQ(boxes.Seen(), 0);

    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 2u);  // the header and line 0: no "XXXX", no closing empty line
    EXPECT_NE(file[0].find("   Page = 0"), std::string::npos);
    EXPECT_EQ(file[1], ExpectedLine(0, 0));
    EXPECT_EQ(Lines(), std::vector<std::string>{ExpectedLine(0, 0)});
}

TEST_F(WindowList, ClosingTheWindowWithAWarningOpenEndsTheRunCleanly) {
    // The camera answers the ping, line 0 and ten exchanges of line 1, then falls silent.
    const int answered = kPing + kPerLine + 10;
    Start({"--silent-after", std::to_string(answered)}, false);
    BoxWatcher boxes([this](QMessageBox*) { dlg->Window()->close(); });
    QTimer::singleShot(0, [this] { PressList(); });

    EXPECT_EQ(dlg->DoModal(), IDCANCEL);

    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(dlg->Window(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(VisibleBox(), nullptr);
    EXPECT_EQ(boxes.Seen(), 1);
    camera->Stop();
    // The unanswered command and nothing after it.
    EXPECT_EQ(camera->Exchanges(), answered + 1);
    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[1], ExpectedLine(0, 0));
}

}  // namespace
