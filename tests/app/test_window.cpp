// The main window as a user meets it: input through its window handle, so that Qt's own
// hit-testing picks the widget, and state read back from the widgets. Every port is a
// pseudo-terminal, the simulated camera's, or a path that does not exist.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "app/about_box.h"
#include "app/port_devices_dialog.h"
#include "app/vexlarin_dlg.h"
#include "platform/dialog/dialog_units.h"
#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"

namespace {

// One application for every test, with base units fixed at 6 x 13 so that the layout comes out
// in pixels worked out by hand: the template's dialog units times 6/4 and 13/8, half up.
struct QtApp : testing::Environment {
    void SetUp() override {
        app = std::make_unique<QApplication>(argc, argv);
        platform::OverrideBaseUnits(platform::BaseUnits{6, 13});
    }
    void TearDown() override { app.reset(); }
    int argc = 1;
    char name[12] = "test_window";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
};
const testing::Environment* const g_app = testing::AddGlobalTestEnvironment(new QtApp);

const QRect kList{15, 252, 75, 23}, kLines{15, 8, 300, 229}, kStatus{113, 252, 203, 20};
const QRect kPage{338, 203, 29, 20}, kPageFrame{330, 171, 53, 65}, kPortFrame{330, 8, 90, 130};
const QRect kSelector[4]{
    {338, 33, 15, 16}, {338, 59, 12, 16}, {338, 80, 15, 16}, {338, 106, 15, 16}};
const QRect kLabel[4]{{365, 33, 41, 16}, {365, 59, 41, 16}, {365, 80, 41, 16}, {365, 106, 41, 16}};
const QPoint kBackground{400, 150};
constexpr Qt::CheckState U = Qt::Unchecked, C = Qt::Checked, I = Qt::PartiallyChecked;

struct Dlg : CVexlarinDlg {
    Dlg() { show(); }
    using CVexlarinDlg::m_commandThread, CVexlarinDlg::m_currentPort, CVexlarinDlg::m_lines,
        CVexlarinDlg::m_link, CVexlarinDlg::m_listButton, CVexlarinDlg::m_page,
        CVexlarinDlg::m_portLabels, CVexlarinDlg::m_status, CVexlarinDlg::m_pageFrame,
        CVexlarinDlg::m_portFrame;
    QCheckBox& Selector(int n) {
        return *std::array<QCheckBox*, 4>{&m_port1, &m_port2, &m_port3, &m_port4}[n - 1];
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < m_lines.count(); ++i) {
            lines.push_back(m_lines.item(i)->text().toStdString());
        }
        return lines;
    }
};

void Click(QWidget& window, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(window.windowHandle(), button, Qt::NoModifier, at);
}
void Key(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window.windowHandle(), key, modifiers);
}
void Type(QWidget& window, const std::string& text) {  // over what the field held
    Key(window, Qt::Key_A, Qt::ControlModifier);
    std::ranges::for_each(text, [&](char c) { QTest::keyClick(window.windowHandle(), c); });
}
void ProcessEventsUntil(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
void Activate(QWidget& window) {  // shortcuts and tooltips need the active window
    window.activateWindow();
    ProcessEventsUntil([&] { return window.isActiveWindow(); });
}
QMenu* Menu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Counts the dialogs of type D that show and runs `act` on each from the event loop (inside
// the dialog's own loop when it runs modally).
template <class D>
struct ShowWatcher : QObject {
    explicit ShowWatcher(std::function<void(D*)> act) : act(std::move(act)) {
        qApp->installEventFilter(this);
    }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (D* dialog = event->type() == QEvent::Show ? dynamic_cast<D*>(watched) : nullptr) {
            ++seen;
            QTimer::singleShot(0, dialog, [this, dialog] { act(dialog); });
        }
        return false;
    }
    std::function<void(D*)> act;
    int seen = 0;
};
void ClickOk(QMessageBox* box) {
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    Click(*box, ok->mapTo(box, ok->rect().center()));
}

class Window : public testing::Test {
protected:
    ~Window() override { platform::ResetPortFaults(); }
    void MapToPty(int n) {
        ptys[n - 1] = std::make_unique<PtyPair>();
        mappings[n - 1] = std::make_unique<PortMapping>(n, ptys[n - 1]->DevicePath());
    }
    void ExpectSelectors(std::array<Qt::CheckState, 4> checks, std::array<bool, 4> enabled) {
        for (int n = 1; n <= 4; ++n) {
            EXPECT_EQ(dlg->Selector(n).checkState(), checks[n - 1]) << "COM" << n;
            EXPECT_EQ(dlg->Selector(n).isEnabled(), enabled[n - 1]) << "COM" << n;
        }
    }
    // Why a port is (not) offered: on its label and its selector, for a screen reader too.
    std::string ToolTip(int n) {
        const QString text = dlg->m_portLabels[n - 1].toolTip();
        EXPECT_EQ(dlg->Selector(n).toolTip(), text);
        EXPECT_EQ(dlg->Selector(n).accessibleDescription(), text);
        return text.toStdString();
    }

    AllPortsMissing missing;
    std::unique_ptr<PtyPair> ptys[4];
    std::unique_ptr<PortMapping> mappings[4];
    std::unique_ptr<Dlg> dlg;
};

// Every port a pseudo-terminal, so that all four selectors take part.
TEST_F(Window, EachControlIsWhereTheLayoutPutsItAndAnswersMouseAndKeyboard) {
    for (int n = 1; n <= 4; ++n) {
        MapToPty(n);
    }
    dlg = std::make_unique<Dlg>();
    EXPECT_EQ(dlg->size(), QSize(435, 289));  // 290 x 178 units: 435 x 289.25 pixels
    const std::tuple<QWidget*, QRect, const char*> controls[] = {
        // and what a screen reader says
        {&dlg->m_listButton, kList, "List"},     {&dlg->m_lines, kLines, "Lines"},
        {&dlg->m_status, kStatus, "Status"},     {&dlg->m_page, kPage, "Page"},
        {&dlg->m_pageFrame, kPageFrame, "Page"}, {&dlg->m_portFrame, kPortFrame, "Port"}};
    std::vector<std::tuple<QWidget*, QRect, const char*>> all(std::begin(controls),
                                                              std::end(controls));
    for (int n = 1; n <= 4; ++n) {
        const char* name[] = {"", "COM 1", "COM 2", "COM 3", "COM 4"};
        all.insert(all.end(), {{&dlg->Selector(n), kSelector[n - 1], name[n]},
                               {&dlg->m_portLabels[n - 1], kLabel[n - 1], name[n]}});
    }
    for (const auto& [control, pixels, name] : all) {
        SCOPED_TRACE(name);
        // What a click at the centre reaches (a frame's: just inside its corner).
        const bool frame = control == &dlg->m_pageFrame || control == &dlg->m_portFrame;
        QWidget* hit = dlg->childAt(frame ? pixels.topLeft() + QPoint(2, 2) : pixels.center());
        EXPECT_TRUE(hit &&
                    (hit == control || hit->parentWidget() == control));  // the list's viewport
        EXPECT_EQ(control->geometry(), pixels);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), name);
    }
    EXPECT_TRUE(QFontInfo(dlg->m_lines.font()).fixedPitch());  // the hex columns line up

    ExpectSelectors({C, U, U, U}, {true, true, true, true});
    for (int n : {2, 4, 3, 1}) {
        Click(*dlg, kSelector[n - 1].center());
        EXPECT_EQ(dlg->m_currentPort, n);
        ExpectSelectors({n == 1 ? C : U, n == 2 ? C : U, n == 3 ? C : U, n == 4 ? C : U},
                        {true, true, true, true});
    }
    // While COM4 fails to open, clicks cycle its selector and switch nothing.
    platform::InjectPortFault(platform::PortCall::Open, EBUSY, 0, 3);
    for (Qt::CheckState state : {C, I, U}) {
        Click(*dlg, kSelector[3].center());
        ExpectSelectors({C, U, U, state}, {true, true, true, true});
    }
    EXPECT_EQ(dlg->m_currentPort, 1);
    const std::string com4 = "COM4: " + ptys[3]->DevicePath();
    EXPECT_EQ(ToolTip(4),
              com4 + "\nNot available: Device or resource busy (held by another program)");
    Click(*dlg, kSelector[3].center());
    ExpectSelectors({U, U, U, C}, {true, true, true, true});
    EXPECT_EQ(dlg->m_currentPort, 4);
    EXPECT_EQ(ToolTip(4), com4);

    // Tab goes round in the template's order.
    Click(*dlg, kPage.center());
    QWidget* const order[] = {&dlg->m_page,      &dlg->m_listButton, &dlg->m_lines,
                              &dlg->Selector(1), &dlg->Selector(2),  &dlg->Selector(3),
                              &dlg->Selector(4), &dlg->m_status,     &dlg->m_page};
    for (QWidget* next : order) {
        EXPECT_EQ(dlg->focusWidget(), next) << next->accessibleName().toStdString();
        Key(*dlg, Qt::Key_Tab);
    }
    // Enter in each control runs List, here on a page refused at once with one box, and never
    // closes the window.
    Click(*dlg, kPage.center());
    Type(*dlg, "x");
    ShowWatcher<QMessageBox> boxes([](QMessageBox* box) {
        EXPECT_TRUE(box->text().startsWith("WARNING:  Enter new value.  Failed"));
        ClickOk(box);
    });
    for (QRect at : {kPage, kLines, kSelector[1], kStatus, kPage, kList}) {
        at == kList ? Key(*dlg, Qt::Key_Tab) : Click(*dlg, at.center());  // from the page field
        EXPECT_TRUE(at.contains(dlg->focusWidget()->geometry().center()));
        const int lists = boxes.seen + 1;
        Key(*dlg, lists % 2 ? Qt::Key_Enter : Qt::Key_Return,
            lists % 2 ? Qt::KeypadModifier : Qt::NoModifier);
        ProcessEventsUntil([&] { return boxes.seen == lists && !dlg->m_commandThread.joinable(); });
        EXPECT_TRUE(dlg->isVisible());
    }
    EXPECT_EQ(dlg->m_page.text(), "x");

    // The window menu: not over a control; over a label to About, with Shift+F10 to Close.
    Click(*dlg, kLines.center(), Qt::RightButton);
    EXPECT_EQ(Menu(), nullptr);
    Click(*dlg, kLabel[2].center(), Qt::RightButton);
    ASSERT_NE(Menu(), nullptr);
    QStringList items;
    std::ranges::transform(Menu()->actions(), std::back_inserter(items), &QAction::text);
    EXPECT_EQ(items, QStringList({"&Close", "", "&About Vexlarin...", "&Port devices..."}));
    ShowWatcher<CAboutBox> about([&](CAboutBox* box) {
        EXPECT_EQ(QApplication::activeModalWidget(), box);
        EXPECT_EQ(box->parentWidget(), dlg.get());
        auto* name = qobject_cast<QLabel*>(box->childAt(QPoint(62, 18)));
        EXPECT_EQ(name ? name->text() : "", "Vexlarin Version 1.1");
        Key(*box, Qt::Key_Escape);
    });
    Key(*Menu(), Qt::Key_A);
    EXPECT_EQ(about.seen, 1);
    Activate(*dlg);
    Click(*dlg, kPage.center());
    Key(*dlg, Qt::Key_F10, Qt::ShiftModifier);  // the keys go to the menu, not the field
    ASSERT_NE(Menu(), nullptr);
    Key(*Menu(), Qt::Key_C);
    EXPECT_EQ(dlg->m_page.text(), "x");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

// COM2 is opened again after the COM1 probe has failed; with none open the status says where
// to go.
TEST_F(Window, TheLowestPortThatOpensIsCheckedAndHeldAtStart) {
    for (const auto& [opening, current] :
         {std::pair{std::vector{4, 2}, 2}, std::pair{std::vector<int>{}, 0}}) {
        std::ranges::for_each(opening, [this](int n) { MapToPty(n); });
        dlg = std::make_unique<Dlg>();
        ExpectSelectors({U, current ? C : U, U, U}, {false, current != 0, false, current != 0});
        EXPECT_EQ(dlg->m_currentPort, current);
        EXPECT_EQ(dlg->m_link.IsPortOpen(), current != 0);
        EXPECT_EQ(dlg->m_page.text(), "0");
        EXPECT_EQ(dlg->m_status.text(), current ? "" : "No port opened: see Port devices...");
        std::ranges::for_each(mappings, [](auto& mapping) { mapping.reset(); });
    }
}

TEST(AboutBox, EachNoticeFitsItsPlaceAndEndsWellAboveTheNextInTheMeasuredFont) {
    platform::OverrideBaseUnits(std::nullopt);
    CAboutBox about(nullptr);
    platform::OverrideBaseUnits(platform::BaseUnits{6, 13});
    std::vector<QLabel*> notices;
    std::ranges::copy_if(about.findChildren<QLabel*>(), std::back_inserter(notices),
                         &QLabel::wordWrap);
    ASSERT_EQ(notices.size(), 7u);
    std::ranges::sort(notices, {}, &QLabel::y);
    for (std::size_t i = 0; i < notices.size(); ++i) {
        SCOPED_TRACE(notices[i]->text().toStdString());
        const int textHeight = notices[i]->heightForWidth(notices[i]->width());
        EXPECT_LE(textHeight, notices[i]->height());
        const int next = i + 1 < notices.size() ? notices[i + 1]->y() : about.height();
        EXPECT_LE(notices[i]->y() + textHeight + notices[i]->fontMetrics().lineSpacing() / 2, next);
    }
}

// COM1 unplugged and a new adapter for COM3: the user enters both in the port dialog; OK keeps
// the user's other lines in the port file and probes the ports again, COM1 saying why it is
// no longer offered.
TEST_F(Window, PortDevicesWritesThePortFileAndProbesThePortsAgain) {
    TempDir root;
    ScopedEnv config("XDG_CONFIG_HOME", root / "config");
    PortMapping com1(1, ""), com3(3, "");  // left to the port file
    PtyPair old, adapter;
    std::filesystem::create_directories(root / "config/vexlarin");
    std::ofstream(root / "config/vexlarin/ports") << "COM1=" << old.DevicePath() << "\n# mine\n";
    dlg = std::make_unique<Dlg>();
    ExpectSelectors({C, U, U, U}, {true, false, false, false});
    ShowWatcher<PortDevicesDialog> devices([&](PortDevicesDialog* d) {
        Activate(*d);
        for (const auto& [row, path] :
             {std::pair{0, std::string("/nonexistent/gone")}, std::pair{2, adapter.DevicePath()}}) {
            QLineEdit* field = d->findChildren<QLineEdit*>()[row];  // COM n's device, in order
            Click(*d, field->mapTo(d, field->rect().center()));
            Type(*d, path);
        }
        Key(*d, Qt::Key_Return);
    });
    Click(*dlg, kBackground, Qt::RightButton);
    ASSERT_NE(Menu(), nullptr);
    Key(*Menu(), Qt::Key_P);
    EXPECT_EQ(devices.seen, 1);

    EXPECT_EQ(ReadFileText(root / "config/vexlarin/ports"),
              "COM1=/nonexistent/gone\n# mine\nCOM3=" + adapter.DevicePath() + "\n");
    ExpectSelectors({U, U, C, U}, {false, false, true, false});
    EXPECT_EQ(dlg->m_currentPort, 3);
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    const std::string why = "COM1: /nonexistent/gone\nNot available: No such file or directory";
    EXPECT_EQ(ToolTip(1), why);
    Activate(*dlg);
    QTest::mouseMove(dlg->windowHandle(), kLabel[0].center());
    ProcessEventsUntil([] { return QToolTip::isVisible(); });
    EXPECT_EQ(QToolTip::text().toStdString(), why);
    Click(*dlg, kSelector[0].center());  // not offered: the click changes nothing
    ExpectSelectors({U, U, C, U}, {false, false, true, false});
}

// Listings through the window against the simulated camera on COM1, in a fresh directory.
class Listing : public Window {
protected:
    // One ping, then per line a four-exchange handshake and three exchanges per byte.
    static constexpr int kPerLine = 4 + 3 * 16, kWholePage = 1 + 16 * kPerLine;
    Listing() { std::filesystem::current_path(dir.Path()); }
    ~Listing() override {
        dlg.reset();
        std::filesystem::current_path(home);
    }
    // Records each status with the camera's exchanges so far: the command thread waits while
    // the window shows it, so the count is exact.
    void Start(const std::vector<std::string>& options) {
        dlg.reset();
        com1.reset();
        camera =
            std::make_unique<SimulatedCamera>(dir / ("camsim" + std::to_string(++starts)), options);
        com1 = std::make_unique<PortMapping>(1, camera->DevicePath());
        dlg = std::make_unique<Dlg>();
        QObject::connect(&dlg->m_status, &QLineEdit::textChanged, [this](const QString& text) {
            const bool idle = dlg->m_listButton.isEnabled() || dlg->Selector(1).isEnabled();
            shown.push_back(text.toStdString() + " @" + std::to_string(camera->Exchanges()) +
                            (idle ? " idle" : ""));
            if (text.startsWith("Please wait - reading address  1") && closeAtLine1) {
                QTimer::singleShot(0, dlg.get(), [this] { Key(*dlg, Qt::Key_Escape); });
            }
        });
    }
    std::vector<std::string> FileLines() {
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitCrLf(ReadFileText(dir / "Vexlarin.txt"), lines));
        return lines;
    }
    static std::vector<std::string> PageLines(int page, int count = 16) {
        std::vector<std::string> lines;
        for (int r = 0; r < count; ++r) {
            lines.push_back(ExpectedLine(page, r));
        }
        return lines;
    }

    const std::filesystem::path home = std::filesystem::current_path();
    TempDir dir;
    std::unique_ptr<SimulatedCamera> camera;
    std::unique_ptr<PortMapping> com1;
    std::vector<std::string> shown;
    bool closeAtLine1 = false;
    int starts = 0;
};

// A complete listing, then the camera falls silent: exactly one warning and nothing changed.
TEST_F(Listing, EachStatusShowsBeforeItsLineOneBlockIsAppendedAndSilenceWarnsOnce) {
    Start({"--silent-after", std::to_string(kWholePage)});
    std::ofstream(dir / "Vexlarin.txt", std::ios::binary) << "an earlier block\r\n";
    Click(*dlg, kPage.center());
    Type(*dlg, "3");
    Key(*dlg, Qt::Key_Return);
    ASSERT_TRUE(dlg->m_commandThread.joinable());
    Click(*dlg, kList.center());  // while it runs, List and the selectors are ignored
    Click(*dlg, kSelector[0].center());
    ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });

    std::vector<std::string> statuses;
    for (int r = 0; r < 16; ++r) {
        const std::string digit(1, "0123456789ABCDEF"[r]);
        statuses.push_back("Please wait - reading address  " + digit + "0 - " + digit + "F... @" +
                           std::to_string(1 + kPerLine * r));
    }
    const std::string added = "Finished - added to Vexlarin.txt";
    statuses.push_back(added + " @" + std::to_string(kWholePage));
    EXPECT_EQ(shown, statuses);
    EXPECT_EQ(dlg->Lines(), PageLines(3));
    const std::vector<std::string> file = FileLines();
    ASSERT_EQ(file.size(), 19u);  // the earlier block, a dated header, 16 lines, an empty line
    EXPECT_EQ(file[0], "an earlier block");
    EXPECT_TRUE(std::regex_match(
        file[1], std::regex("[A-Z][a-z]+day, [A-Z][a-z]+ \\d\\d, \\d{4}   Page = 3")))
        << file[1];
    EXPECT_EQ(std::vector(file.begin() + 2, file.end() - 1), PageLines(3));
    EXPECT_EQ(file[18], "");
    ExpectSelectors({C, U, U, U}, {true, false, false, false});

    ShowWatcher<QMessageBox> boxes([&](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Application Error");
        EXPECT_EQ(box->text().toStdString(),
                  "WARNING:  DV Camera not responding.  Failed with the following error: \n"
                  "TimeOut. Check connection between port and camera.\nPort: 1\n");
        // Above the window without blocking it, with the keyboard.
        EXPECT_EQ(box->parentWidget(), dlg.get());
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        ProcessEventsUntil([&] { return box->isActiveWindow(); });
        EXPECT_FALSE(dlg->Selector(1).isEnabled());
        Click(*dlg, kList.center());  // ignored from inside the box too
        Key(*box, Qt::Key_Escape);
    });
    Click(*dlg, kList.center());
    ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    EXPECT_EQ(boxes.seen, 1);
    EXPECT_EQ(camera->Exchanges(), kWholePage + 1);
    EXPECT_EQ(FileLines(), file);
    EXPECT_EQ(dlg->Lines(), PageLines(3));
    EXPECT_EQ(dlg->m_status.text().toStdString(), added);
    ExpectSelectors({C, U, U, U}, {true, false, false, false});
    EXPECT_TRUE(dlg->m_listButton.isEnabled() && dlg->isVisible());
}

// Closed while line 1 is read (slow replies), and closed from a warning box: the window ends
// at once, the command is joined, and the file keeps the header and line 0.
TEST_F(Listing, ClosingTheWindowMidListingEndsCleanlyAndKeepsWhatWasWritten) {
    const int answered = 1 + kPerLine + 10;  // the ping, line 0 and ten exchanges of line 1
    for (const bool withBox : {false, true}) {
        SCOPED_TRACE(withBox ? "with a warning open" : "while reading");
        closeAtLine1 = !withBox;
        Start({withBox ? "--silent-after" : "--pause", withBox ? std::to_string(answered) : "10"});
        ShowWatcher<QMessageBox> boxes([this](QMessageBox*) { dlg->windowHandle()->close(); });
        Click(*dlg, kList.center());
        ProcessEventsUntil([this] { return !dlg->isVisible(); });
        EXPECT_FALSE(dlg->m_commandThread.joinable());
        EXPECT_EQ(boxes.seen, withBox ? 1 : 0);
        EXPECT_TRUE(std::ranges::none_of(dlg->findChildren<QMessageBox*>(), &QWidget::isVisible));
        const int atClose = camera->Exchanges();
        camera->Stop();
        // At most the command already on the line when the close came; nothing of line 2.
        EXPECT_LE(camera->Exchanges(), withBox ? answered + 1 : atClose + 1);
        EXPECT_GE(camera->Exchanges(), withBox ? answered + 1 : 1 + kPerLine);
        EXPECT_LT(camera->Exchanges(), 1 + 2 * kPerLine);
        const std::vector<std::string> file = FileLines();
        ASSERT_EQ(file.size(), 2u);  // no "XXXX" line, no closing empty line
        EXPECT_TRUE(file[0].ends_with("   Page = 0"));
        EXPECT_EQ(file[1], ExpectedLine(0, 0));
        EXPECT_EQ(dlg->Lines(), PageLines(0, 1));
        // A warning after the close goes to the terminal: no box over a closed window.
        dlg->m_link.ReportError("ReadFile()", "Input/output error");
        EXPECT_EQ(boxes.seen, withBox ? 1 : 0);
        std::filesystem::remove(dir / "Vexlarin.txt");
    }
}

}  // namespace
