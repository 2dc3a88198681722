// The main window and the About box as built: controls where the layout puts them, tab order,
// the keyboard, the three-state selectors, the window menu and its command-id mask, warning
// boxes raised on other threads, and start-up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/about_box.h"
#include "app/gui_support.h"
#include "app/icon_placement.h"
#include "app/vexlarin_app.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "resources/templates.h"
#include "support/pty_pair.h"

namespace {

TEST(MinimisedIcon, CentredWithTruncatingDivision) {
    // (37 - 32 + 1) / 2 = 3; 36 gives 5 / 2 = 2; 0 gives -31 / 2 = -15, toward zero.
    EXPECT_EQ(CenteredIconOrigin(0, 0, 37, 37, 32, 32), (IconOrigin{3, 3}));
    EXPECT_EQ(CenteredIconOrigin(0, 0, 36, 36, 32, 32), (IconOrigin{2, 2}));
    EXPECT_EQ(CenteredIconOrigin(0, 0, 0, 0, 32, 32), (IconOrigin{-15, -15}));
    // Width and height are taken apart, and a client origin other than 0 counts.
    EXPECT_EQ(CenteredIconOrigin(10, 20, 47, 56, 32, 32), (IconOrigin{3, 2}));
}

// The bare template, so that the program's own writes at start-up do not count.
TEST(MainTemplate, ControlsStandWhereTheLayoutPutsThem) {
    CDialog dlg(FindDialogTemplate(IDD_MAIN));
    ASSERT_TRUE(dlg.Create());
    struct {
        const char* kind;
        int id;  // -1: none
        const char* text;
        QRect pixels;  // with base units 6 x 13, worked out by hand
    } const expected[] = {
        {"QPushButton", 1, "List", {15, 252, 75, 23}},
        {"QListWidget", 1000, "", {15, 8, 300, 229}},
        {"QCheckBox", 1005, "Com1", {338, 33, 15, 16}},
        {"QCheckBox", 1006, "Com2", {338, 59, 12, 16}},
        {"QCheckBox", 1007, "Com3", {338, 80, 15, 16}},
        {"QCheckBox", 1004, "Com4", {338, 106, 15, 16}},
        {"QLabel", -1, "COM 1", {365, 33, 41, 16}},
        {"QLabel", -1, "COM 2", {365, 59, 41, 16}},
        {"QLabel", -1, "COM 3", {365, 80, 41, 16}},
        {"QLabel", -1, "COM 4", {365, 106, 41, 16}},
        {"QLineEdit", 1008, "", {113, 252, 203, 20}},
        {"QLineEdit", 1009, "", {338, 203, 29, 20}},
        {"QGroupBox", -1, "Page", {330, 171, 53, 65}},
        {"QGroupBox", -1, "Port", {330, 8, 90, 130}},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        QWidget* widget = dlg.GetTemplateItem(i);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), expected[i].kind);
        if (expected[i].id != -1) {
            EXPECT_EQ(dlg.GetDlgItem(expected[i].id), widget);
        }
        CWnd control;
        control.Attach(widget);
        EXPECT_EQ(control.GetWindowText(), expected[i].text);
        EXPECT_EQ(widget->geometry(), expected[i].pixels);
    }
    EXPECT_EQ(dlg.GetTemplateItem(14), nullptr);
}

// The main dialog as the program runs it, with no port to open.
class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        app.m_pMainWnd = &dlg;
        ASSERT_TRUE(dlg.Create());
    }
    void TearDown() override {
        app.m_pMainWnd = nullptr;
        RestoreResourceStrings();
    }
    static QWidget* AboutBox() { return FindVisibleWindow("About Vexlarin"); }

    AllPortsMissing ports;
    CVexlarinApp app;
    OpenDlg dlg;
};

TEST_F(MainWindow, CaptionSizeIconsAndTabOrder) {
    QWidget* window = dlg.Window();
    EXPECT_EQ(window->windowTitle(), "Vexlarin");
    // 290 x 178 dialog units: 435 x 289.25 pixels; fixed, with no minimise box.
    EXPECT_EQ(window->size(), QSize(435, 289));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);

    ASSERT_NE(dlg.m_hIcon, nullptr);
    EXPECT_TRUE(dlg.m_hIcon->availableSizes().contains(QSize(32, 32)));
    EXPECT_TRUE(dlg.m_hIcon->availableSizes().contains(QSize(16, 16)));
    EXPECT_EQ(dlg.SendMessage(Message::QueryDragIcon).icon, dlg.m_hIcon);

    // Focus starts on "List"; the selectors are enabled so that they take part whatever the
    // probing made of them.
    QWidget* at = dlg.GetDlgItem(1);
    EXPECT_EQ(window->focusWidget(), at);
    for (int id : {1004, 1005, 1006, 1007}) {
        dlg.GetDlgItem(id)->setEnabled(true);
    }
    for (int id : {1000, 1005, 1006, 1007, 1004, 1008, 1009, 1}) {
        do {
            at = at->nextInFocusChain();
        } while (!(at->focusPolicy() & Qt::TabFocus) || !at->isEnabled());
        EXPECT_EQ(at, dlg.GetDlgItem(id)) << "tab stop " << id;
    }
}

// The main template with a map of its own that counts the List commands.
class CountingDlg : public CDialog {
public:
    CountingDlg() : CDialog(FindDialogTemplate(IDD_MAIN)) {}
    int lists = 0;

protected:
    MessageMap GetMessageMap() const override;
    void OnList() { ++lists; }
    static const MessageMapEntry map[];
};
const MessageMapEntry CountingDlg::map[] = {OnBnClicked<&CountingDlg::OnList>(IDOK)};
MessageMap CountingDlg::GetMessageMap() const {
    return map;
}

TEST(Keyboard, EnterAnywhereRunsListAndNeverCloses) {
    CountingDlg dlg;
    ASSERT_TRUE(dlg.Create());
    QTest::keyClicks(dlg.GetDlgItem(IDC_PAGE), "3");
    int lists = 0;
    for (int id : {IDC_PAGE, IDC_LINES, IDC_STATUS, IDC_PORT2, IDOK}) {
        dlg.GetDlgItem(id)->setFocus();
        QTest::keyClick(dlg.GetDlgItem(id), Qt::Key_Return);
        EXPECT_EQ(dlg.lists, ++lists) << "Enter in " << id;
    }
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::mouseClick(dlg.GetDlgItem(IDOK), Qt::LeftButton);
    EXPECT_EQ(dlg.lists, lists + 2);
    // QDialog's own accept must not end it either.
    static_cast<QDialog*>(dlg.Window())->accept();
    EXPECT_FALSE(dlg.IsEnded());
    EXPECT_TRUE(dlg.Window()->isVisible());
    // Enter is not taken as an edit of the page field.
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PAGE), "3");

    dlg.GetDlgItem(IDOK)->setEnabled(false);
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, lists + 2);
}

TEST(Keyboard, EachCancelPathEndsTheDialogAndCancelsTheLink) {
    AllPortsMissing ports;
    const std::function<void(OpenDlg&)> ends[] = {
        [](OpenDlg& d) { QTest::keyClick(d.GetDlgItem(IDC_PAGE), Qt::Key_Escape); },
        [](OpenDlg& d) { d.Window()->close(); },  // the close box and Alt+F4
        [](OpenDlg& d) { static_cast<QDialog*>(d.Window())->reject(); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        OpenDlg dlg;
        ASSERT_TRUE(dlg.Create());
        ends[i](dlg);
        EXPECT_TRUE(dlg.IsEnded()) << "path " << i;
        EXPECT_EQ(dlg.Result(), IDCANCEL) << "path " << i;
        EXPECT_TRUE(dlg.m_link.IsCancelled()) << "path " << i;
        EXPECT_FALSE(dlg.Window() && dlg.Window()->isVisible()) << "path " << i;
    }
}

TEST_F(MainWindow, SelectorsCycleUncheckedCheckedIndeterminate) {
    // By mouse on COM1, by Space on COM4; the program's 1 and 2 are Qt's checked and partial.
    const Qt::CheckState cycle[] = {Qt::Checked, Qt::PartiallyChecked, Qt::Unchecked};
    for (CButton* selector : {&dlg.m_port1, &dlg.m_port4}) {
        auto* box = qobject_cast<QCheckBox*>(selector->Widget());
        box->setEnabled(true);  // no port opened, so the probing left it disabled
        box->setFocus();
        for (int step = 0; step < 3; ++step) {
            if (selector == &dlg.m_port1) {
                QTest::mouseClick(box, Qt::LeftButton);
            } else {
                QTest::keyClick(box, Qt::Key_Space);
            }
            EXPECT_EQ(box->checkState(), cycle[step]);
            EXPECT_EQ(selector->GetCheck(), (step + 1) % 3);
        }
    }
    EXPECT_EQ(dlg.m_port2.GetCheck(), 0);
    EXPECT_EQ(dlg.m_port3.GetCheck(), 0);
    dlg.m_port3.SetCheck(2);
    EXPECT_EQ(qobject_cast<QCheckBox*>(dlg.m_port3.Widget())->checkState(), Qt::PartiallyChecked);
}

TEST_F(MainWindow, WindowMenuHasCloseThenAboutWhichOpensTheBoxOverTheDialog) {
    const auto& items = dlg.GetSystemMenu(false)->Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 0xF060u);
    EXPECT_EQ(items[0].text, "&Close");
    EXPECT_EQ(items[1].flags, 0x800u);  // the separator
    EXPECT_EQ(items[2].id, 16u);
    EXPECT_EQ(items[2].text, "&About Vexlarin...");

    dlg.TrackSystemMenu(false);
    ASSERT_NE(dlg.SystemMenuPopup(), nullptr);
    const QList<QAction*> actions = dlg.SystemMenuPopup()->actions();
    ASSERT_EQ(actions.size(), 3);
    bool overTheDialog = false;
    EXPECT_TRUE(WhileRunning([&] { actions[2]->trigger(); },
                             [&] {
                                 QWidget* about = AboutBox();
                                 ASSERT_NE(about, nullptr);
                                 overTheDialog = about->parentWidget() == dlg.Window() &&
                                                 about->windowModality() == Qt::WindowModal;
                                 QTest::keyClick(about, Qt::Key_Escape);
                             }));
    EXPECT_TRUE(overTheDialog);
    EXPECT_EQ(AboutBox(), nullptr);
    EXPECT_FALSE(dlg.IsEnded());

    // No separator and no entry when the entry's text is empty or missing.
    for (auto text : {std::optional<std::string>(""), std::optional<std::string>()}) {
        OverrideResourceString(101, text);
        OpenDlg other;
        ASSERT_TRUE(other.Create());
        ASSERT_EQ(other.GetSystemMenu(false)->Items().size(), 1u);
    }
}

TEST_F(MainWindow, CommandIdMaskDecidesWhatOpensTheAboutBox) {
    for (std::uint32_t id : {16u, 17u, 31u, 0x10010u}) {
        bool opened = false;
        WhileRunning([&] { dlg.SendMessage(Message::SysCommand, id); },
                     [&] {
                         if (QWidget* about = AboutBox()) {
                             opened = true;
                             QTest::keyClick(about, Qt::Key_Escape);
                         }
                     });
        EXPECT_TRUE(opened) << "id " << id;
    }
    // Default processing: no box, no loop of its own, and only Close ends the dialog.
    for (std::uint32_t id : {15u, 32u, 0xF010u}) {
        EXPECT_FALSE(WhileRunning([&] { dlg.SendMessage(Message::SysCommand, id); }, [] {}))
            << "id " << id;
        EXPECT_EQ(AboutBox(), nullptr);
        EXPECT_FALSE(dlg.IsEnded()) << "id " << id;
    }
    dlg.SendMessage(Message::SysCommand, 0xF060);
    EXPECT_TRUE(dlg.IsEnded());
}

TEST_F(MainWindow, RightClickOnTheBackgroundAndShiftF10OpenTheWindowMenu) {
    const auto rightClick = [&](QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, dlg.Window()->mapToGlobal(at));
        QCoreApplication::sendEvent(dlg.Window(), &event);
        return dlg.SystemMenuPopup() && dlg.SystemMenuPopup()->isVisible();
    };
    EXPECT_FALSE(rightClick(dlg.GetDlgItem(IDC_LINES)->geometry().center()));
    // Below the "Port" frame, right of the list: bare background.
    EXPECT_TRUE(rightClick(QPoint(400, 150)));
    dlg.SystemMenuPopup()->hide();

    dlg.Window()->activateWindow();
    ProcessEventsUntil([&] { return dlg.Window()->isActiveWindow(); });
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(dlg.SystemMenuPopup()->isVisible());
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PAGE), "0");  // the keys went to the menu, not the field
}

TEST_F(MainWindow, AboutBoxShowsNameVersionIconAndNotice) {
    CAboutBox about;
    ASSERT_TRUE(about.Create());
    QWidget* window = about.Window();
    EXPECT_EQ(window->windowTitle(), "About Vexlarin");
    EXPECT_EQ(window->size(), QSize(428, 301));  // 285 x 185 units: 427.5 x 300.625 pixels
    EXPECT_EQ(window->parentWidget(), dlg.Window());
    auto* name = qobject_cast<QLabel*>(about.GetTemplateItem(0));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "Vexlarin Version 1.1");
    EXPECT_EQ(name->geometry(), QRect(60, 16, 179, 13));
    auto* ok = qobject_cast<QAbstractButton*>(about.GetDlgItem(IDOK));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->geometry(), QRect(369, 11, 48, 23));
    EXPECT_EQ(window->focusWidget(), ok);
    auto* icon = qobject_cast<QLabel*>(about.GetTemplateItem(2));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(icon->pos(), QPoint(17, 28));

    // Two notice lines and five licence paragraphs, in their template places.
    const QRect places[] = {{60, 33, 150, 13},  {23, 81, 375, 33}, {23, 114, 375, 41},
                            {23, 195, 375, 41}, {60, 57, 150, 13}, {23, 154, 375, 41},
                            {23, 234, 375, 31}};
    QString all;
    for (std::size_t i = 0; i < std::size(places); ++i) {
        auto* notice = qobject_cast<QLabel*>(about.GetTemplateItem(i + 3));
        ASSERT_NE(notice, nullptr) << "notice " << i;
        EXPECT_FALSE(notice->text().isEmpty()) << "notice " << i;
        EXPECT_EQ(notice->geometry(), places[i]) << "notice " << i;
        all += notice->text();
    }
    EXPECT_TRUE(all.contains("MIT"));
    EXPECT_EQ(about.GetTemplateItem(10), nullptr);
}

TEST_F(MainWindow, AboutBoxEndsOnOkEnterEscapeAndTheCloseBox) {
    const std::pair<std::function<void(CAboutBox&)>, int> ends[] = {
        {[](CAboutBox& a) { QTest::mouseClick(a.GetDlgItem(IDOK), Qt::LeftButton); }, IDOK},
        {[](CAboutBox& a) { QTest::keyClick(a.Window(), Qt::Key_Return); }, IDOK},
        {[](CAboutBox& a) { QTest::keyClick(a.Window(), Qt::Key_Escape); }, IDCANCEL},
        {[](CAboutBox& a) { a.Window()->close(); }, IDCANCEL},
    };
    for (const auto& [end, result] : ends) {
        CAboutBox about;
        ASSERT_TRUE(about.Create());
        end(about);
        EXPECT_TRUE(about.IsEnded());
        EXPECT_EQ(about.Result(), result);
    }
}

TEST(WarningBox, ShownOnTheGuiThreadWhileTheRaisingThreadWaits) {
    platform::QtWarningSink sink;
    std::atomic<bool> returned{false};
    bool handled = false;
    BoxWatcher closer([&](QMessageBox* box) {
        EXPECT_FALSE(returned.load());  // the raiser is still inside ShowWarning
        EXPECT_EQ(box->windowTitle(), "Application Error");
        EXPECT_EQ(box->text(), "WARNING:  ReadFile() Failed with the following error: \nEIO\n");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        handled = true;
    });
    std::thread raiser([&] {
        sink.ShowWarning("Application Error",
                         "WARNING:  ReadFile() Failed with the following error: \nEIO\n");
        returned = true;
        // Wakes the GUI thread's event wait, so that it sees `returned`.
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::QueuedConnection);
    });
    ProcessEventsUntil([&] { return handled && returned.load(); });
    raiser.join();
    EXPECT_EQ(closer.Seen(), 1);
}

TEST_F(MainWindow, ClosingFromInsideABoxOnTheGuiThreadEndsTheBoxAndTheDialog) {
    BoxWatcher closer([&](QMessageBox*) { dlg.Window()->close(); });
    // As OpenPort's configuration warning does, from a selector's handler.
    dlg.m_link.ReportError("SetCommState()", "Invalid argument");
    EXPECT_EQ(closer.Seen(), 1);
    EXPECT_TRUE(dlg.IsEnded());
    QApplication::processEvents();
    EXPECT_EQ(FindVisibleWindow("Application Error"), nullptr);
}

TEST(StartUp, RunsTheDialogAndReturnsWhenItCloses) {
    AllPortsMissing ports;
    CVexlarinApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    int status = -1;
    EXPECT_TRUE(WhileRunning([&] { status = AfxWinMain(); },
                             [&] {
                                 ASSERT_NE(app.m_pMainWnd, nullptr);
                                 QWidget* window = app.m_pMainWnd->Window();
                                 EXPECT_EQ(window->windowTitle(), "Vexlarin");
                                 QTest::keyClick(window, Qt::Key_Escape);
                             }));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

}  // namespace
