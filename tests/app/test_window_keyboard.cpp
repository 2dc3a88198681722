// The keyboard, the mouse and the window menu: Enter runs the List command and never closes,
// the cancel paths close, the selectors cycle through three states, the window menu opens the
// About box through the command-id mask, and the About box ends on its keys.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/about_box.h"
#include "app/gui_support.h"
#include "app/vexlarin_app.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "resources/templates.h"
#include "support/pty_pair.h"

namespace {

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

class Keyboard : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    CountingDlg dlg;
};

TEST_F(Keyboard, EnterAnywhereRunsListAndNeverCloses) {
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, 1);
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dlg.lists, 2);
    QTest::keyClick(dlg.GetDlgItem(IDC_LINES), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, 3);
    QTest::keyClick(dlg.GetDlgItem(IDC_STATUS), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, 4);
    QTest::keyClick(dlg.GetDlgItem(IDC_PORT2), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, 5);
    dlg.GetDlgItem(IDOK)->setFocus();
    QTest::keyClick(dlg.GetDlgItem(IDOK), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, 6);
    QTest::mouseClick(dlg.GetDlgItem(IDOK), Qt::LeftButton);
    EXPECT_EQ(dlg.lists, 7);
    EXPECT_FALSE(dlg.IsEnded());
    EXPECT_TRUE(dlg.Window()->isVisible());
    // The page field keeps what was typed: Enter is not taken as an edit.
    QTest::keyClicks(dlg.GetDlgItem(IDC_PAGE), "3");
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Return);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PAGE), "3");
    EXPECT_EQ(dlg.lists, 8);
}

TEST_F(Keyboard, EnterDoesNothingWhileListIsDisabled) {
    dlg.GetDlgItem(IDOK)->setEnabled(false);
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Return);
    EXPECT_EQ(dlg.lists, 0);
    EXPECT_FALSE(dlg.IsEnded());
}

TEST_F(Keyboard, OnlyTheCancelPathsEndTheDialog) {
    // QDialog's own accept must not end it (Enter never closes); its reject is the cancel.
    auto* window = static_cast<QDialog*>(dlg.Window());
    window->accept();
    EXPECT_FALSE(dlg.IsEnded());

    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Escape);
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
    EXPECT_FALSE(dlg.Window()->isVisible());
    EXPECT_EQ(dlg.lists, 0);

    // The window manager's close (close box, Alt+F4) arrives as a close event; reject as the
    // cancel command.
    for (const auto& end : {std::function<void(QDialog*)>([](QDialog* w) { w->close(); }),
                            std::function<void(QDialog*)>([](QDialog* w) { w->reject(); })}) {
        CountingDlg other;
        ASSERT_TRUE(other.Create());
        end(static_cast<QDialog*>(other.Window()));
        EXPECT_TRUE(other.IsEnded());
        EXPECT_EQ(other.Result(), IDCANCEL);
    }
}

class MainDialog : public testing::Test {
protected:
    void SetUp() override {
        app.m_pMainWnd = &dlg;
        ASSERT_TRUE(dlg.Create());
    }
    void TearDown() override {
        app.m_pMainWnd = nullptr;
        RestoreResourceStrings();
    }
    QWidget* AboutBox() { return FindVisibleWindow("About Vexlarin"); }

    AllPortsMissing ports;
    CVexlarinApp app;
    OpenDlg dlg;
};

TEST_F(MainDialog, SelectorsCycleUncheckedCheckedIndeterminate) {
    auto* box = qobject_cast<QCheckBox*>(dlg.GetDlgItem(IDC_PORT1));
    box->setEnabled(true);  // no port opened, so the probing left it disabled
    ASSERT_EQ(dlg.m_port1.GetCheck(), 0);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(dlg.m_port1.GetCheck(), 1);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(dlg.m_port1.GetCheck(), 2);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(dlg.m_port1.GetCheck(), 0);

    auto* box4 = qobject_cast<QCheckBox*>(dlg.GetDlgItem(IDC_PORT4));
    box4->setEnabled(true);
    box4->setFocus();
    QTest::keyClick(box4, Qt::Key_Space);
    EXPECT_EQ(dlg.m_port4.GetCheck(), 1);
    QTest::keyClick(box4, Qt::Key_Space);
    EXPECT_EQ(dlg.m_port4.GetCheck(), 2);
    QTest::keyClick(box4, Qt::Key_Space);
    EXPECT_EQ(dlg.m_port4.GetCheck(), 0);
    // The others were not touched.
    EXPECT_EQ(dlg.m_port2.GetCheck(), 0);
    EXPECT_EQ(dlg.m_port3.GetCheck(), 0);
}

TEST_F(MainDialog, EnterInThePageFieldLeavesTheDialogOpenEscapeEndsIt) {
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_Return);
    EXPECT_FALSE(dlg.IsEnded());
    QTest::keyClick(dlg.GetDlgItem(IDC_LINES), Qt::Key_Escape);
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
    EXPECT_TRUE(dlg.m_link.IsCancelled());
}

TEST_F(MainDialog, WindowMenuEndsWithSeparatorAndAboutEntry) {
    const CMenu* menu = dlg.GetSystemMenu(false);
    ASSERT_NE(menu, nullptr);
    const auto& items = menu->Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 0xF060u);
    EXPECT_EQ(items[0].text, "&Close");
    EXPECT_EQ(items[1].flags, 0x800u);
    EXPECT_EQ(items[2].flags, 0u);
    EXPECT_EQ(items[2].id, 16u);
    EXPECT_EQ(items[2].text, "&About Vexlarin...");
}

TEST_F(MainDialog, EmptyOrMissingAboutStringAddsNothing) {
    for (std::optional<std::string> text :
         {std::optional<std::string>(""), std::optional<std::string>()}) {
        OverrideResourceString(101, text);
        OpenDlg other;
        ASSERT_TRUE(other.Create());
        const auto& items = other.GetSystemMenu(false)->Items();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].id, 0xF060u);
    }
}

TEST_F(MainDialog, ChoosingAboutFromTheMenuShowsTheBoxOverTheDialog) {
    dlg.TrackSystemMenu(false);
    QMenu* popup = dlg.SystemMenuPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    const QList<QAction*> actions = popup->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "&Close");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), "&About Vexlarin...");

    QWidget* seen = nullptr;
    bool ownerBlocked = false;
    const bool ran = WhileRunning([&] { actions[2]->trigger(); },
                                  [&] {
                                      seen = AboutBox();
                                      ownerBlocked = seen && seen->parentWidget() == dlg.Window() &&
                                                     seen->windowModality() == Qt::WindowModal;
                                      if (seen) {
                                          QTest::keyClick(seen, Qt::Key_Escape);
                                      }
                                  });
    EXPECT_TRUE(ran);
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(ownerBlocked);
    EXPECT_EQ(AboutBox(), nullptr);
    EXPECT_FALSE(dlg.IsEnded());
    EXPECT_TRUE(dlg.Window()->isVisible());
}

TEST_F(MainDialog, MenuCloseEndsTheDialog) {
    dlg.TrackSystemMenu(false);
    dlg.SystemMenuPopup()->actions()[0]->trigger();
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
}

TEST_F(MainDialog, CommandIdMaskDecidesWhatOpensTheAboutBox) {
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
    for (std::uint32_t id : {15u, 32u, 0xF010u}) {
        const bool ranInside =
            WhileRunning([&] { dlg.SendMessage(Message::SysCommand, id); }, [] {});
        EXPECT_FALSE(ranInside) << "id " << id << " ran a loop of its own";
        EXPECT_EQ(AboutBox(), nullptr);
        EXPECT_FALSE(dlg.IsEnded()) << "id " << id;
    }
    dlg.SendMessage(Message::SysCommand, 0xF060);
    EXPECT_TRUE(dlg.IsEnded());
}

TEST_F(MainDialog, RightClickOnTheBackgroundOpensTheWindowMenu) {
    const QPoint onListAt = dlg.GetDlgItem(IDC_LINES)->geometry().center();
    QContextMenuEvent onList(QContextMenuEvent::Mouse, onListAt,
                             dlg.Window()->mapToGlobal(onListAt));
    QCoreApplication::sendEvent(dlg.Window(), &onList);
    EXPECT_TRUE(dlg.SystemMenuPopup() == nullptr || !dlg.SystemMenuPopup()->isVisible());

    // Below the "Port" frame, right of the list: bare background.
    QContextMenuEvent onBackground(QContextMenuEvent::Mouse, QPoint(400, 150),
                                   dlg.Window()->mapToGlobal(QPoint(400, 150)));
    QCoreApplication::sendEvent(dlg.Window(), &onBackground);
    ASSERT_NE(dlg.SystemMenuPopup(), nullptr);
    EXPECT_TRUE(dlg.SystemMenuPopup()->isVisible());
}

TEST_F(MainDialog, ShiftF10OpensTheWindowMenu) {
    const std::string pageBefore = dlg.GetDlgItemText(IDC_PAGE);
    dlg.Window()->activateWindow();
    ProcessEventsUntil([&] { return dlg.Window()->isActiveWindow(); });
    QTest::keyClick(dlg.GetDlgItem(IDC_PAGE), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(dlg.SystemMenuPopup(), nullptr);
    EXPECT_TRUE(dlg.SystemMenuPopup()->isVisible());
    // The keys went to the menu, not into the field.
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PAGE), pageBefore);
}

TEST_F(MainDialog, DoModalReturnsCancelAndDetachesTheControls) {
    OpenDlg modal;
    std::intptr_t result = 0;
    const bool ran = WhileRunning([&] { result = modal.DoModal(); },
                                  [&] {
                                      EXPECT_NE(modal.m_status.Widget(), nullptr);
                                      QTest::keyClick(modal.Window(), Qt::Key_Escape);
                                  });
    EXPECT_TRUE(ran);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(modal.Window(), nullptr);
    EXPECT_EQ(modal.m_status.Widget(), nullptr);
    modal.m_status.SetWindowText("after");  // detached: does nothing, does not crash
    EXPECT_EQ(modal.m_status.GetWindowText(), "");
}

class AboutBoxTest : public MainDialog {};

TEST_F(AboutBoxTest, ShowsNameVersionIconAndNotice) {
    CAboutBox about;
    ASSERT_TRUE(about.Create());
    QWidget* window = about.Window();
    EXPECT_EQ(window->windowTitle(), "About Vexlarin");
    // 285 x 185 dialog units: 427.5 x 300.625 pixels.
    EXPECT_EQ(window->size(), QSize(428, 301));
    EXPECT_EQ(window->parentWidget(), dlg.Window());

    auto* name = qobject_cast<QLabel*>(about.GetTemplateItem(0));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "Vexlarin Version 1.1");
    EXPECT_EQ(name->geometry(), QRect(60, 16, 179, 13));

    auto* ok = qobject_cast<QPushButton*>(about.GetDlgItem(IDOK));
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

TEST_F(AboutBoxTest, OkEnterEscapeAndCloseBoxEndIt) {
    const auto end = [](const std::function<void(CAboutBox&)>& how) {
        CAboutBox about;
        EXPECT_TRUE(about.Create());
        how(about);
        EXPECT_TRUE(about.IsEnded());
        return about.Result();
    };
    EXPECT_EQ(end([](CAboutBox& a) { QTest::mouseClick(a.GetDlgItem(IDOK), Qt::LeftButton); }),
              IDOK);
    EXPECT_EQ(end([](CAboutBox& a) { QTest::keyClick(a.Window(), Qt::Key_Return); }), IDOK);
    EXPECT_EQ(end([](CAboutBox& a) { QTest::keyClick(a.Window(), Qt::Key_Escape); }), IDCANCEL);
    EXPECT_EQ(end([](CAboutBox& a) { a.Window()->close(); }), IDCANCEL);
}

}  // namespace
