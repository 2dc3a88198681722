// The main window as a user meets it: input through its window handle, so that Qt's own
// hit-testing picks the widget, and state read back from the widgets. Every port is a
// pseudo-terminal, the simulated camera's, or a path that does not exist.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/about_box.h"
#include "app/dialog_units.h"
#include "app/port_devices_dialog.h"
#include "app/vexlarin_dlg.h"
#include "platform/port_faults.h"
#include "support/listing_fixture.h"

namespace {

using namespace std::string_literals;

const QRect kList{15, 252, 75, 23}, kLines{15, 8, 300, 229}, kStatus{113, 252, 203, 20};
const QRect kPage{338, 203, 29, 20};
const QRect kSelector[4]{
    {338, 33, 15, 16}, {338, 59, 12, 16}, {338, 80, 15, 16}, {338, 106, 15, 16}};
const QRect kLabel[4]{{365, 33, 41, 16}, {365, 59, 41, 16}, {365, 80, 41, 16}, {365, 106, 41, 16}};

struct Dlg : CVexlarinDlg {
    Dlg() { show(); }
    // Where the window shows a control the template puts at `r`: moved by as much as the list
    // grew to show a whole page when it lies right of the list or below it.
    QRect At(const QRect& r) const {
        const QSize grow = m_lines.size() - kLines.size();
        return r == kLines ? QRect(r.topLeft(), m_lines.size())
                           : r.translated(r.left() > kLines.right() ? grow.width() : 0,
                                          r.top() > kLines.bottom() ? grow.height() : 0);
    }
    using CVexlarinDlg::m_commandThread, CVexlarinDlg::m_currentPort, CVexlarinDlg::m_lines,
        CVexlarinDlg::m_link, CVexlarinDlg::m_listButton, CVexlarinDlg::m_page,
        CVexlarinDlg::m_portLabels, CVexlarinDlg::m_status;
    QCheckBox* const selector[4]{&m_ports[0], &m_ports[1], &m_ports[2], &m_ports[3]};
    // A letter per selector: Checked, Indeterminate or Unchecked; lower case when not offered.
    std::string Selectors() const {
        std::string is;
        for (QCheckBox* box : selector) {
            is += (box->isEnabled() ? "UIC" : "uic")[box->checkState()];
        }
        return is;
    }
    // Why a port is (not) offered: on its label and its selector, for a screen reader too.
    std::string ToolTip(int n) const {
        EXPECT_EQ(selector[n - 1]->toolTip(), m_portLabels[n - 1].toolTip());
        EXPECT_EQ(selector[n - 1]->accessibleDescription(), m_portLabels[n - 1].toolTip());
        return m_portLabels[n - 1].toolTip().toStdString();
    }
};

// How many pixels differ between two pictures of the same control.
int Changed(const QImage& before, const QImage& after) {
    int changed = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            changed += before.pixel(x, y) != after.pixel(x, y);
        }
    }
    return changed;
}

void ProcessEventsUntil(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// The control of type W in `parent` that a screen reader hears as `name`.
template <class W>
W* Named(QWidget& parent, const QString& name) {
    for (W* w : parent.findChildren<W*>()) {
        if (QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name) == name) {
            return w;
        }
    }
    return nullptr;
}

// Counts the dialogs of type D that show; runs `act` on each from the (dialog's own) event loop.
template <class D>
struct ShowWatcher : QObject {
    explicit ShowWatcher(std::function<void(D*)> f) : act(f) { qApp->installEventFilter(this); }
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

class Window : public testing::Test {
protected:
    // One application for every test, with base units fixed at 6 x 13 so that the layout comes
    // out in pixels worked out by hand: the template's dialog units times 6/4 and 13/8, half up.
    static void SetUpTestSuite() { app = std::make_unique<QApplication>(argc, argv); }
    static void TearDownTestSuite() { app.reset(); }
    Window() { OverrideBaseUnits(BaseUnits{6, 13}); }
    ~Window() override {
        platform::ResetPortFaults();
        std::filesystem::current_path(home);
    }
    // Input as a user gives it, through a window's handle.
    static void Click(QWidget& w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(w.windowHandle(), b, {}, at);
    }
    static void Key(QWidget& w, Qt::Key key, Qt::KeyboardModifiers m = {}) {
        QTest::keyClick(w.windowHandle(), key, m);
    }
    static void Type(QWidget& w, const std::string& text) {  // over what the field held
        Key(w, Qt::Key_A, Qt::ControlModifier);
        std::ranges::for_each(text, [&](char c) { QTest::keyClick(w.windowHandle(), c); });
    }
    static QMenu* Menu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
    void Map(int n, std::string path = "") {  // to a pseudo-terminal of the test's own
        path = path.empty() ? (ptys[n - 1] = std::make_unique<PtyPair>())->DevicePath() : path;
        mappings[n - 1] = std::make_unique<PortMapping>(n, path);
    }

    // A listing's camera on COM1, its file in a fresh directory; each status recorded with the
    // camera's exchanges so far (exact: the command thread waits while the window shows it).
    void Start(const std::vector<std::string>& options) {
        std::filesystem::current_path(dir.Path());
        camera = std::make_unique<SimulatedCamera>(dir / "camsim.log", options);
        Map(1, camera->DevicePath());
        dlg = std::make_unique<Dlg>();
        QObject::connect(&dlg->m_status, &QLineEdit::textChanged, [this](const QString& text) {
            shown.push_back(text.toStdString() + " @" + std::to_string(camera->Exchanges()));
        });
    }

    // "Read whole memory..." from the window menu, the image kept as `path`, typed over the
    // dated name offered in the current directory.
    void ReadWholeMemory(const std::string& path) {
        ShowWatcher<QFileDialog> files([&](QFileDialog* d) {
            const QRegularExpression dated(
                "/vexlarin-memory-20[0-9]{2}-[01][0-9]-[0-3][0-9]-"
                "[0-2][0-9][0-5][0-9]\\.bin");
            EXPECT_EQ(d->directory().absolutePath().toStdString(), dir.Path());
            EXPECT_TRUE(dated.match(d->selectedFiles().value(0)).hasMatch())
                << d->selectedFiles().value(0).toStdString();
            QLineEdit* name = d->findChild<QLineEdit*>("fileNameEdit");
            Click(*d, name->mapTo(d, name->rect().center()));
            Type(*d, path);
            Key(*d, Qt::Key_Return);
        });
        Click(*dlg, dlg->At(kLabel[2]).center(), Qt::RightButton);
        ASSERT_NE(Menu(), nullptr);
        Key(*Menu(), Qt::Key_R);
        ASSERT_EQ(files.seen, 1);
    }
    // Byte k of the camera's memory in the whole-memory cases: unlike its default memory.
    static std::string Memory() {
        std::string memory(4096, '\0');
        for (std::size_t k = 0; k < memory.size(); ++k) {
            memory[k] = static_cast<char>((k * 37 + 11) % 256);
        }
        return memory;
    }
    // Line `r` of page `p` of `memory` as listed.
    static std::string LineOf(const std::string& memory, int p, int r) {
        char text[8];
        std::snprintf(text, sizeof text, "%X0    ", r);
        std::string line = text;
        for (int i = 0; i < 16; ++i) {
            std::snprintf(
                text, sizeof text, "%02X ",
                static_cast<unsigned char>(memory[static_cast<std::size_t>(256 * p + 16 * r + i)]));
            line += text;
        }
        return line;
    }

    // One ping, then per line a four-exchange handshake and three exchanges per byte.
    static constexpr int kPerLine = 4 + 3 * 16, kWholePage = 1 + 16 * kPerLine;
    const std::filesystem::path home = std::filesystem::current_path();
    TempDir dir;
    std::unique_ptr<SimulatedCamera> camera;
    std::vector<std::string> shown;
    AllPortsMissing missing;
    std::unique_ptr<PtyPair> ptys[4];
    std::unique_ptr<PortMapping> mappings[4];
    std::unique_ptr<Dlg> dlg;
    static inline int argc = 1;
    static inline char name[] = "test_window", *argv[] = {name, nullptr};
    static inline std::unique_ptr<QApplication> app;
};

// With no port, the status line says where to go; then every port a pseudo-terminal, so that
// all four selectors take part.
TEST_F(Window, EachControlIsWhereTheLayoutPutsItAndAnswersMouseAndKeyboard) {
    {
        // A screen reader hears the status line as read-only only, and reads it.
        Dlg none;
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(&none.m_status);
        EXPECT_TRUE(status->state().readOnly && !status->state().editable);
        QAccessibleTextInterface* read = status->textInterface();
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->text(0, read->characterCount()), "No port opened: see Port devices...");
    }
    std::ranges::for_each(std::array{1, 2, 3, 4}, [this](int n) { Map(n); });
    dlg = std::make_unique<Dlg>();
    // 290 x 178 units: 435 x 289.25 pixels, and what the list lacks for a whole page (below).
    EXPECT_EQ(dlg->size(), QSize(435, 289) + dlg->m_lines.size() - kLines.size());
    const std::tuple<QWidget*, QRect, const char*> controls[] = {
        {&dlg->m_listButton, kList, "List"},       {&dlg->m_lines, kLines, "Lines"},
        {&dlg->m_status, kStatus, "Status"},       {&dlg->m_page, kPage, "Page"},
        {dlg->selector[0], kSelector[0], "COM 1"}, {&dlg->m_portLabels[0], kLabel[0], "COM 1"},
        {dlg->selector[1], kSelector[1], "COM 2"}, {&dlg->m_portLabels[1], kLabel[1], "COM 2"},
        {dlg->selector[2], kSelector[2], "COM 3"}, {&dlg->m_portLabels[2], kLabel[2], "COM 3"},
        {dlg->selector[3], kSelector[3], "COM 4"}, {&dlg->m_portLabels[3], kLabel[3], "COM 4"}};
    for (const auto& [control, pixels, name] : controls) {
        // A click at its centre reaches it (the list: its viewport); a screen reader names it.
        QWidget* hit = dlg->childAt(dlg->At(pixels).center());
        EXPECT_TRUE(hit && (hit == control || hit->parentWidget() == control)) << name;
        EXPECT_EQ(control->geometry(), dlg->At(pixels)) << name;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), name);
    }

    for (const auto& [n, want] : {std::pair{2, "UCUU"}, {4, "UUUC"}, {3, "UUCU"}, {1, "CUUU"}}) {
        Click(*dlg, dlg->At(kSelector[n - 1]).center());
        EXPECT_EQ(dlg->Selectors(), want);
    }
    // While COM4 fails to open, clicks cycle its selector and switch nothing.
    platform::InjectPortFault(platform::PortCall::Open, EBUSY, 0, 3);
    const std::string busy = "\nNot available: Device or resource busy (held by another program)";
    for (const char* want : {"CUUC", "CUUI", "CUUU", "UUUC"}) {
        Click(*dlg, dlg->At(kSelector[3]).center());
        EXPECT_EQ(dlg->Selectors(), want);
        EXPECT_EQ(dlg->m_currentPort, want[0] == 'C' ? 1 : 4);
        EXPECT_EQ(dlg->ToolTip(4), "COM4: " + ptys[3]->DevicePath() + (want[0] == 'C' ? busy : ""));
        // One state for a screen reader, the third too.
        const QAccessible::State read =
            QAccessible::queryAccessibleInterface(dlg->selector[3])->state();
        EXPECT_EQ(bool(read.checked), want[3] == 'C') << want;
        EXPECT_EQ(bool(read.checkStateMixed), want[3] == 'I') << want;
    }

    // Tab goes round in the template's order, and the focus shows on each control: it changes
    // at least 70 % of as many pixels as a ring two pixels wide along the control's edges has
    // (the selectors are only 10 units wide, the list is empty). Enter in each control runs
    // List (on a page refused at once: one box each) and never closes the window.
    Click(*dlg, dlg->At(kPage).center());
    ASSERT_EQ(dlg->focusWidget(), &dlg->m_page);  // else Enter would list a real page
    Type(*dlg, "x");
    ShowWatcher<QMessageBox> boxes([](QMessageBox* box) {
        EXPECT_TRUE(box->text().startsWith("WARNING:  Enter new value.  Failed"));
        Key(*box, Qt::Key_Return);
    });
    for (QWidget* next : std::initializer_list<QWidget*>{
             &dlg->m_listButton, &dlg->m_lines, dlg->selector[0], dlg->selector[1],
             dlg->selector[2], dlg->selector[3], &dlg->m_status, &dlg->m_page}) {
        ProcessEventsUntil([&] { return dlg->isActiveWindow(); });  // back from the last box
        const QImage unfocused = next->grab().toImage();
        Key(*dlg, Qt::Key_Tab);
        EXPECT_EQ(dlg->focusWidget(), next) << next->accessibleName().toStdString();
        const int ring = 2 * 2 * (next->width() + next->height());
        EXPECT_GE(Changed(unfocused, next->grab().toImage()), ring * 7 / 10)
            << next->accessibleName().toStdString();
        const int lists = boxes.seen + 1;
        Key(*dlg, Qt::Key_Return);
        ProcessEventsUntil([&] { return boxes.seen == lists && !dlg->m_commandThread.joinable(); });
        if (dlg->focusWidget() != next) {  // a selector loses it while the listing disables it
            Click(*dlg, next->geometry().center());
        }
    }
    EXPECT_TRUE(dlg->isVisible());

    // The window menu opens over a label, not over a control, and leads to About, here laid
    // out in the desktop's own font: each notice fits its place.
    Click(*dlg, kLines.center(), Qt::RightButton);
    EXPECT_EQ(Menu(), nullptr);
    Click(*dlg, dlg->At(kLabel[2]).center(), Qt::RightButton);
    ASSERT_NE(Menu(), nullptr);
    ShowWatcher<CAboutBox> about([&](CAboutBox* box) {
        EXPECT_EQ(QApplication::activeModalWidget(), box);
        QList<QLabel*> notices = box->findChildren<QLabel*>();
        notices.removeIf([](QLabel* label) { return !label->wordWrap(); });
        EXPECT_EQ(notices.size(), 7);
        std::ranges::sort(notices, {}, &QLabel::y);
        for (qsizetype i = 0; i < notices.size(); ++i) {
            const int height = notices[i]->heightForWidth(notices[i]->width());
            const int next = i + 1 < notices.size() ? notices[i + 1]->y() : box->height();
            EXPECT_LE(height, notices[i]->height()) << notices[i]->text().toStdString();
            EXPECT_LE(notices[i]->y() + height + notices[i]->fontMetrics().lineSpacing() / 2, next);
        }
        Key(*box, Qt::Key_Escape);
    });
    OverrideBaseUnits(std::nullopt);
    Key(*Menu(), Qt::Key_A);
    EXPECT_EQ(about.seen, 1);
}

// A page seen whole as the desktop draws it (its own fonts, not the fixed base units): every
// line in view without scrolling, in a fixed-pitch font of at least 8 points, in a list grown
// past the template's 200 units only as far as a line needs. At scale 1 here, then in this
// program run again at QT_SCALE_FACTOR 1.5 and 2 and at QT_FONT_DPI 144.
TEST_F(Window, AWholePageIsInViewAtEveryScale) {
    const bool scaled =
        qEnvironmentVariableIsSet("QT_SCALE_FACTOR") || qEnvironmentVariableIsSet("QT_FONT_DPI");
    OverrideBaseUnits(std::nullopt);
    Start({});
    EXPECT_EQ(dlg->devicePixelRatio() > 1, scaled);
    Key(*dlg, Qt::Key_Return);
    ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    ASSERT_EQ(dlg->m_lines.count(), 16);
    const QFontInfo font(dlg->m_lines.font());
    EXPECT_TRUE(font.fixedPitch());
    EXPECT_GE(font.pointSizeF(), 8.0);
    const QFontMetrics metrics(dlg->m_lines.font());
    const QRect view = dlg->m_lines.viewport()->rect();
    for (int r = 0; r < 16; ++r) {
        const QListWidgetItem* line = dlg->m_lines.item(r);
        EXPECT_TRUE(view.contains(dlg->m_lines.visualItemRect(line))) << r;
        EXPECT_LE(metrics.horizontalAdvance(line->text()), view.width());
    }
    if (dlg->m_lines.width() > MulDiv(200, BaseUnitsOf(dlg->font()).x, 4)) {
        EXPECT_EQ(dlg->m_lines.sizeHintForColumn(0), view.width());
    }
    for (const auto& [variable, value] :
         {std::pair{"QT_SCALE_FACTOR", "1.5"}, {"QT_SCALE_FACTOR", "2"}, {"QT_FONT_DPI", "144"}}) {
        if (!scaled) {
            ScopedEnv scale(variable, value);
            const ChildOutcome run = RunChild(
                {"/proc/self/exe", "--gtest_filter=Window.AWholePageIsInViewAtEveryScale"});
            EXPECT_EQ(run.code, 0) << variable << "=" << value << "\n" << run.out;
        }
    }
}

// COM2 checked at start (the lowest that opens, though the COM1 probe came after it), COM3's
// line unusable, the file in CR LF. The user picks COM4 and types page 7, then in "Port
// devices..." sees COM3's path with the reason and maps COM1 to an adapter: OK rewrites COM1's
// line alone, probes the ports again, and keeps the page as typed and COM4 in use. Then COM4,
// mapped to a path that is gone, leaves the lowest that opens in use.
TEST_F(Window, PortDevicesKeepsWhatTheUserHadAndRewritesTheChangedRowAlone) {
    TempDir root;
    ScopedEnv config("XDG_CONFIG_HOME", root / "config");
    PortMapping com1(1, ""), com2(2, ""), com3(3, ""), com4(4, "");  // left to the port file
    PtyPair old, fourth, adapter;
    const std::string file = root / "config/vexlarin/ports";
    std::filesystem::create_directories(root / "config/vexlarin");
    std::ofstream(file, std::ios::binary)
        << "COM1=/nonexistent/a\r\nCOM2=" << old.DevicePath()
        << "\r\nCOM3=dev/ttyUSB9\r\n# mine\r\nCOM4=" << fourth.DevicePath() << "\r\n";
    dlg = std::make_unique<Dlg>();
    EXPECT_EQ(dlg->Selectors(), "uCuU");
    Click(*dlg, dlg->At(kSelector[3]).center());
    Click(*dlg, dlg->At(kPage).center());
    Type(*dlg, "7");
    ASSERT_EQ(dlg->Selectors(), "uUuC");

    // The first time: what the dialog shows, then COM1's row typed over; the second, COM4's.
    ShowWatcher<PortDevicesDialog> devices([&](PortDevicesDialog* d) {
        const auto look = [&] {
            for (int port = 1; port <= 4; ++port) {  // a screen reader hears each by its port
                auto* found =
                    Named<QComboBox>(*d, QString("COM %1 serial devices found").arg(port));
                ASSERT_NE(found, nullptr);
                EXPECT_EQ(QAccessible::queryAccessibleInterface(found)->text(QAccessible::Value),
                          found->currentText());
            }
            // COM3's row: the path as written, and under it, across the row, why it cannot be
            // used.
            QLineEdit* com3Path = Named<QLineEdit>(*d, "COM 3 device");
            ASSERT_NE(com3Path, nullptr);
            EXPECT_EQ(com3Path->displayText(), "dev/ttyUSB9");
            auto* grid = d->findChild<QGridLayout*>();
            auto* reason = qobject_cast<QLabel*>(grid->itemAtPosition(6, 1)->widget());
            ASSERT_NE(reason, nullptr);
            EXPECT_TRUE(reason->isVisible());
            EXPECT_EQ(reason->text().toStdString(),
                      file + " line 3: COM3: the device must be a full path, not dev/ttyUSB9");
            EXPECT_LT(com3Path->geometry().bottom(), reason->geometry().top());
        };
        if (devices.seen == 1) {
            look();
        }
        // Where a check above failed, OK with nothing typed: the file comes out unchanged.
        if (QLineEdit* row =
                Named<QLineEdit>(*d, devices.seen == 1 ? "COM 1 device" : "COM 4 device")) {
            Click(*d, row->mapTo(d, row->rect().center()));
            Type(*d, devices.seen == 1 ? adapter.DevicePath() : "/nonexistent/gone");
        }
        Key(*d, Qt::Key_Return);
    });
    const auto portDevices = [&] {
        Click(*dlg, QPoint(400, 150), Qt::RightButton);  // the window's background
        ASSERT_NE(Menu(), nullptr);
        Key(*Menu(), Qt::Key_P);
    };
    ASSERT_NO_FATAL_FAILURE(portDevices());
    ASSERT_EQ(devices.seen, 1);

    const std::string kept = "\r\nCOM2=" + old.DevicePath() + "\r\nCOM3=dev/ttyUSB9\r\n# mine\r\n";
    EXPECT_EQ(ReadFileText(file),
              "COM1=" + adapter.DevicePath() + kept + "COM4=" + fourth.DevicePath() + "\r\n");
    EXPECT_EQ(dlg->m_page.displayText(), "7");
    EXPECT_EQ(dlg->Selectors(), "UUuC");  // COM1 offered now; COM4 still the one in use
    EXPECT_EQ(dlg->m_link.PortNumber(), 4);
    EXPECT_TRUE(dlg->m_link.IsPortOpen());
    const std::string why = "COM1: " + adapter.DevicePath();
    EXPECT_EQ(dlg->ToolTip(1), why);
    dlg->activateWindow();  // tooltips show in the active window
    ProcessEventsUntil([&] { return dlg->isActiveWindow(); });
    ASSERT_EQ(dlg->childAt(dlg->At(kLabel[0]).center()),
              &dlg->m_portLabels[0]);  // else no tooltip comes
    QTest::mouseMove(dlg->windowHandle(), dlg->At(kLabel[0]).center());
    ProcessEventsUntil([] { return QToolTip::isVisible(); });
    EXPECT_EQ(QToolTip::text().toStdString(), why);

    ASSERT_NO_FATAL_FAILURE(portDevices());
    ASSERT_EQ(devices.seen, 2);
    EXPECT_EQ(ReadFileText(file),
              "COM1=" + adapter.DevicePath() + kept + "COM4=/nonexistent/gone\r\n");
    EXPECT_EQ(dlg->Selectors(), "CUuu");
    EXPECT_EQ(dlg->m_link.PortNumber(), 1);
}

// A complete listing; then the camera falls silent while About is open: exactly one warning,
// above About and modal to it alone, with the keyboard; Escape closes it, and About has the
// keyboard again and answers. Nothing else changed. The next warning lies above the window
// without blocking it; About opened over it gives it the keyboard back when closed; then the
// window is closed from the box.
TEST_F(Window, StatusesLinesAndFileThenAWarningOverAboutThenClosingFromTheBox) {
    Start({"--silent-after", std::to_string(kWholePage)});
    std::ofstream(dir / "Vexlarin.txt", std::ios::binary) << "an earlier block\r\n";
    Click(*dlg, dlg->At(kPage).center());
    Type(*dlg, "3");
    Key(*dlg, Qt::Key_Return);
    ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    std::vector<std::string> lines, statuses;
    for (int r = 0; r < dlg->m_lines.count(); ++r) {
        lines.push_back(dlg->m_lines.item(r)->text().toStdString());
        statuses.push_back(Progress(r) + " @" + std::to_string(1 + kPerLine * r));
    }
    EXPECT_EQ(lines, PageLines(3));
    statuses.push_back(kAdded + " @" + std::to_string(kWholePage));
    EXPECT_EQ(shown, statuses);
    const std::string text = ReadFileText(dir / "Vexlarin.txt");
    ASSERT_EQ(text.substr(0, 18), "an earlier block\r\n");
    ExpectBlock(text.substr(18), '3', PageLines(3));
    EXPECT_EQ(dlg->Selectors(), "Cuuu");

    CAboutBox* about = nullptr;
    ShowWatcher<CAboutBox> abouts([&](CAboutBox* box) {
        about = box;  // the first waits for the warning, the second is closed at once
        abouts.seen == 2 ? Key(*box, Qt::Key_Escape) : void();
    });
    ShowWatcher<QMessageBox> boxes([&](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Application Error");
        EXPECT_EQ(box->text().toStdString(), kTimeOutWarning);
        if (boxes.seen == 1) {
            ASSERT_EQ(box->parentWidget(), about);  // kept above it by the window manager
            EXPECT_EQ(QApplication::activeModalWidget(), box);
            ProcessEventsUntil([box] { return QApplication::activeWindow() == box; });
            Key(*box, Qt::Key_Escape);
            QTimer::singleShot(0, about, [&] {  // once the box is gone
                ProcessEventsUntil([&] { return QApplication::activeWindow() == about; });
                Key(*about, Qt::Key_Escape);
            });
            return;
        }
        // Above the window without blocking it: About, opened over it, gives it the keyboard
        // back once it is closed; then the window is closed from it.
        EXPECT_EQ(box->parentWidget(), dlg.get());
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        Click(*dlg, kList.center());  // ignored while the listing runs
        Click(*dlg, dlg->At(kLabel[2]).center(), Qt::RightButton);
        Key(*Menu(), Qt::Key_A);
        ProcessEventsUntil([box] { return QApplication::activeWindow() == box; });
        dlg->windowHandle()->close();
    });
    Click(*dlg, kList.center());
    Click(*dlg, dlg->At(kLabel[2]).center(), Qt::RightButton);
    Key(*Menu(), Qt::Key_A);  // About, until it is closed from the warning's watcher
    ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    EXPECT_EQ(abouts.seen, 1);
    EXPECT_EQ(boxes.seen, 1);
    EXPECT_EQ(camera->Exchanges(), kWholePage + 1);
    EXPECT_EQ(dlg->m_status.text().toStdString(), kAdded);
    EXPECT_TRUE(dlg->m_listButton.isEnabled() && dlg->isVisible());

    Click(*dlg, kList.center());
    ProcessEventsUntil([this] { return !dlg->isVisible(); });
    EXPECT_FALSE(dlg->m_commandThread.joinable());
    EXPECT_EQ(boxes.seen, 2);
    EXPECT_EQ(abouts.seen, 2);
    EXPECT_TRUE(std::ranges::none_of(dlg->findChildren<QMessageBox*>(), &QWidget::isVisible));
    EXPECT_EQ(ReadFileText(dir / "Vexlarin.txt"), text);
}

// The whole memory from the window menu, unpaced: an image equal to the camera's memory and
// its 16 blocks in the listing file; the listing file refused as the image before the port is
// touched; a run cancelled at page 5's fourth line, which keeps the whole lines and pages read
// and says so; then List works again.
TEST_F(Window, TheWholeMemoryThenAnImageRefusedThenACancelMidWay) {
    const std::string memory = Memory();
    std::ofstream(dir / "memory.bin", std::ios::binary) << memory;
    Start({"--image", dir / "memory.bin"});
    std::vector<std::string> notes;  // each with its icon: "i" information, "!" warning
    ShowWatcher<QMessageBox> boxes([&](QMessageBox* box) {
        notes.push_back((box->icon() == QMessageBox::Information ? "i " : "! ") +
                        box->text().toStdString());
        Key(*box, Qt::Key_Escape);
    });
    // Each line as it is shown (the command thread waits meanwhile): the progress tells the
    // page, the line and the times, the menu's port entries are greyed; Cancel at `cancelAt`.
    int linesShown = 0, cancelAt = -1;
    const QMetaObject::Connection watch =
        QObject::connect(dlg->m_lines.model(), &QAbstractItemModel::rowsInserted, [&] {
            const int n = linesShown++;
            auto* progress = dlg->findChild<QProgressDialog*>();
            ASSERT_NE(progress, nullptr);
            for (QAction* entry : dlg->findChild<QMenu*>()->actions()) {
                EXPECT_EQ(entry->isEnabled(),
                          !entry->text().contains("..") || entry->text() == "&About Vexlarin...")
                    << entry->text().toStdString();
            }
            EXPECT_FALSE(dlg->m_listButton.isEnabled());
            EXPECT_EQ(progress->value(), n);
            EXPECT_EQ(progress->maximum(), 256);
            if (n % 37 == 0 || n == cancelAt) {
                const QString want = QString("Page %1 of 16 (page %2), line %3 of 16\nTime spent ")
                                         .arg(n / 16 + 1)
                                         .arg(QChar("0123456789ABCDEF"[n / 16]))
                                         .arg(n % 16 + 1);
                EXPECT_TRUE(progress->labelText().startsWith(want))
                    << progress->labelText().toStdString();
                EXPECT_TRUE(QRegularExpression(", time left about [0-9]+:[0-5][0-9]$")
                                .match(progress->labelText())
                                .hasMatch() ||
                            n == 0)
                    << progress->labelText().toStdString();
            }
            if (n == 40) {
                Key(*progress, Qt::Key_Return);  // not taken for Cancel: the run goes on
            }
            if (n == cancelAt) {
                auto* cancel = progress->findChild<QPushButton*>();
                Click(*progress, cancel->mapTo(progress, cancel->rect().center()));
            }
        });

    // List stays greyed between the pages too: at each page's start, where the list is emptied.
    const QMetaObject::Connection pageStart =
        QObject::connect(dlg->m_lines.model(), &QAbstractItemModel::modelReset,
                         [&] { EXPECT_FALSE(dlg->m_listButton.isEnabled()) << linesShown; });
    ASSERT_NO_FATAL_FAILURE(ReadWholeMemory(dir / "whole.bin"));
    ProcessEventsUntil([&] { return notes.size() == 1; });
    EXPECT_EQ(notes[0], "i " + dir / "whole.bin" + ": pages 0 to F written.");
    EXPECT_EQ(ReadFileText(dir / "whole.bin"), memory);
    std::vector<std::string> file;
    ASSERT_TRUE(SplitCrLf(ReadFileText(dir / "Vexlarin.txt"), file));
    ASSERT_EQ(file.size(), 16u * 18);
    for (int p = 0; p < 16; ++p) {
        EXPECT_TRUE(file[18 * p].ends_with("   Page = "s + "0123456789ABCDEF"[p])) << file[18 * p];
        for (int r = 0; r < 16; ++r) {
            EXPECT_EQ(file[18 * p + 1 + r], LineOf(memory, p, r));
        }
        EXPECT_EQ(file[18 * p + 17], "");
    }
    EXPECT_EQ(linesShown, 256);
    EXPECT_EQ(dlg->m_status.text().toStdString(), kAdded);
    EXPECT_TRUE(dlg->m_listButton.isEnabled());
    EXPECT_EQ(dlg->findChild<QProgressDialog*>(), nullptr);

    const int exchanges = camera->Exchanges();
    ASSERT_NO_FATAL_FAILURE(ReadWholeMemory("Vexlarin.txt"));
    ProcessEventsUntil([&] { return notes.size() == 2; });
    EXPECT_EQ(notes[1], "! The image cannot be written:\n" + dir / "Vexlarin.txt" +
                            ": the listing file; an image must be a file of its own");
    EXPECT_EQ(camera->Exchanges(), exchanges);

    linesShown = 0;
    cancelAt = 16 * 5 + 3;
    ASSERT_NO_FATAL_FAILURE(ReadWholeMemory(dir / "part.bin"));
    ProcessEventsUntil([&] { return notes.size() == 3 && !dlg->m_commandThread.joinable(); });
    EXPECT_EQ(notes[2], "! Cancelled.\n" + dir / "part.bin" +
                            ": pages 0 to 4 written, page 5 written in part, pages 6 to F not "
                            "written; the image is partial.");
    std::string part = memory;
    std::fill(part.begin() + 256 * 5 + 16 * 4, part.end(), '\xFF');
    EXPECT_EQ(ReadFileText(dir / "part.bin"), part);
    ASSERT_TRUE(SplitCrLf(ReadFileText(dir / "Vexlarin.txt"), file));
    ASSERT_EQ(file.size(), 16u * 18 + 5 * 18 + 1 + 4);
    EXPECT_TRUE(file[16 * 18 + 5 * 18].ends_with("   Page = 5"));
    EXPECT_EQ(file.back(), LineOf(memory, 5, 3));

    QObject::disconnect(watch);
    QObject::disconnect(pageStart);
    Click(*dlg, kList.center());
    ProcessEventsUntil([this] { return !dlg->m_commandThread.joinable(); });
    EXPECT_EQ(dlg->m_status.text().toStdString(), kAdded);
    EXPECT_EQ(dlg->m_lines.item(15)->text().toStdString(), LineOf(memory, 0, 15));
}

// Closed while line 1 of the whole memory is read (slow replies): the window ends at once, the
// command is joined, the progress dialog goes with it, and the file keeps the header and line 0,
// the image line 0.
TEST_F(Window, ClosingTheWindowWhileALineIsReadEndsAtOnceAndKeepsWhatWasWritten) {
    Start({"--pause", "10"});
    QObject::connect(&dlg->m_status, &QLineEdit::textChanged, [this] {
        if (shown.size() == 2) {  // line 1's status
            // The close box: the progress dialog above has the keyboard.
            QTimer::singleShot(0, dlg.get(), [this] { dlg->windowHandle()->close(); });
        }
    });
    ASSERT_NO_FATAL_FAILURE(ReadWholeMemory(dir / "memory.bin"));
    ProcessEventsUntil([this] { return !dlg->isVisible(); });
    EXPECT_FALSE(dlg->m_commandThread.joinable());
    QCoreApplication::sendPostedEvents();  // the run's end, posted as the close came
    EXPECT_TRUE(std::ranges::none_of(QApplication::topLevelWidgets(), &QWidget::isVisible));
    const int atClose = camera->Exchanges();
    camera->Stop();
    // At most the command already on the line when the close came; nothing of line 2.
    EXPECT_LE(camera->Exchanges(), std::min(atClose + 1, 2 * kPerLine));
    std::vector<std::string> file;
    ASSERT_TRUE(SplitCrLf(ReadFileText(dir / "Vexlarin.txt"), file));
    ASSERT_EQ(file.size(), 2u);  // no "XXXX" line, no closing empty line
    EXPECT_EQ(file[1], ExpectedLine(0, 0));
    std::string image(4096, '\xFF');
    for (int i = 0; i < 16; ++i) {
        image[static_cast<std::size_t>(i)] = static_cast<char>(i + 2);
    }
    EXPECT_EQ(ReadFileText(dir / "memory.bin"), image);
}

}  // namespace
