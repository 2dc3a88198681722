// The main window and the About box as a user meets them: what stands where and what a click
// there reaches, the names a screen reader gives, the Tab order, the keyboard, the window menu
// and closing it with a box open.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QMenu>
#include <algorithm>
#include <memory>

#include "app/about_box.h"
#include "app/gui_support.h"
#include "platform/dialog/dialog_units.h"
#include "support/pty_pair.h"

namespace {

// The main window with every port open, so that all four selectors take part.
class MainWindow : public testing::Test {
protected:
    MainWindow() {
        for (int n = 1; n <= 4; ++n) {
            ptys[n - 1] = std::make_unique<PtyPair>();
            mappings[n - 1] = std::make_unique<PortMapping>(n, ptys[n - 1]->DevicePath());
        }
        dlg = std::make_unique<OpenDlg>();
    }
    static QMenu* OpenMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

    AllPortsMissing missing;
    std::unique_ptr<PtyPair> ptys[4];
    std::unique_ptr<PortMapping> mappings[4];
    std::unique_ptr<OpenDlg> dlg;
};

TEST_F(MainWindow, EachControlIsWhereTheLayoutPutsItAndTakesClicksThere) {
    EXPECT_EQ(dlg->windowTitle(), "Vexlarin");
    // 290 x 178 dialog units: 435 x 289.25 pixels; fixed, a window of its own, no minimise box.
    EXPECT_EQ(dlg->size(), QSize(435, 289));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_EQ(dlg->windowType(), Qt::Window);
    EXPECT_FALSE(dlg->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dlg->windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_TRUE(dlg->windowIcon().availableSizes().contains(QSize(16, 16)));

    struct {
        const char* kind;
        QRect pixels;
        const char* name;  // what a screen reader says
    } const expected[] = {
        {"QPushButton", kListButton, "List"}, {"QListWidget", kLines, "Lines"},
        {"QCheckBox", kSelector[0], "COM 1"}, {"QCheckBox", kSelector[1], "COM 2"},
        {"QCheckBox", kSelector[2], "COM 3"}, {"QCheckBox", kSelector[3], "COM 4"},
        {"QLabel", kPortLabel[0], "COM 1"},   {"QLabel", kPortLabel[1], "COM 2"},
        {"QLabel", kPortLabel[2], "COM 3"},   {"QLabel", kPortLabel[3], "COM 4"},
        {"QLineEdit", kStatus, "Status"},     {"QLineEdit", kPage, "Page"},
        {"QGroupBox", kPageFrame, "Page"},    {"QGroupBox", kPortFrame, "Port"},
    };
    for (const auto& control : expected) {
        SCOPED_TRACE(control.name);
        // What a click at the control's centre reaches (a frame's: just inside its corner).
        const bool frame = std::string(control.kind) == "QGroupBox";
        QWidget* hit =
            dlg->childAt(frame ? control.pixels.topLeft() + QPoint(2, 2) : control.pixels.center());
        while (hit && hit->parentWidget() != dlg.get()) {
            hit = hit->parentWidget();  // the list's viewport belongs to the list
        }
        ASSERT_NE(hit, nullptr);
        EXPECT_STREQ(hit->metaObject()->className(), control.kind);
        EXPECT_EQ(hit->geometry(), control.pixels);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(hit)->text(QAccessible::Name),
                  control.name);
    }
    // The hexadecimal columns line up; the status line does not look like an input field.
    EXPECT_TRUE(QFontInfo(dlg->m_lines.font()).fixedPitch());
    EXPECT_EQ(dlg->m_status.palette().color(QPalette::Base),
              dlg->palette().color(QPalette::Window));
}

TEST_F(MainWindow, TabGoesThroughTheControlsInTemplateOrder) {
    EXPECT_EQ(dlg->focusWidget(), &dlg->m_listButton);
    QWidget* const order[] = {&dlg->m_lines,     &dlg->Selector(1), &dlg->Selector(2),
                              &dlg->Selector(3), &dlg->Selector(4), &dlg->m_status,
                              &dlg->m_page,      &dlg->m_listButton};
    for (QWidget* next : order) {
        Key(*dlg, Qt::Key_Tab);
        EXPECT_EQ(dlg->focusWidget(), next) << next->accessibleName().toStdString();
    }
}

TEST_F(MainWindow, EnterAnywhereRunsListAndNeverCloses) {
    // A page that is refused at once: each List command shows exactly one box.
    TypePage(*dlg, "x");
    BoxWatcher boxes([](QMessageBox* box) {
        EXPECT_TRUE(box->text().startsWith("WARNING:  Enter new value.  Failed"));
        ClickOk(box);
    });
    // The focus put into each kind of control as a user would.
    const std::pair<std::function<void()>, QWidget*> focus[] = {
        {[] {}, &dlg->m_page},  // where the typing left it
        {[&] { Click(*dlg, kLines.center()); }, &dlg->m_lines},
        {[&] { Click(*dlg, kSelector[1].center()); }, &dlg->Selector(2)},  // also switches
        {[&] { Click(*dlg, kStatus.center()); }, &dlg->m_status},
        {[&] { Key(*dlg, Qt::Key_Backtab); }, &dlg->Selector(4)},
        {[&] { Click(*dlg, kPage.center()); }, &dlg->m_page},
        {[&] { Key(*dlg, Qt::Key_Tab); }, &dlg->m_listButton},
    };
    int lists = 0;
    for (const auto& [put, at] : focus) {
        put();
        EXPECT_EQ(dlg->focusWidget(), at) << at->accessibleName().toStdString();
        Key(*dlg, lists == 5 ? Qt::Key_Enter : Qt::Key_Return,
            lists == 5 ? Qt::KeypadModifier : Qt::NoModifier);
        ++lists;
        ProcessEventsUntil(
            [&] { return boxes.Seen() == lists && !dlg->m_commandThread.joinable(); });
        EXPECT_TRUE(dlg->isVisible());
    }
    EXPECT_EQ(dlg->m_page.text(), "x");  // Enter is no edit of the field
}

TEST(Closing, EscapeTheCloseBoxAndTheMenusCloseEndTheWindowAndCancelTheLink) {
    AllPortsMissing ports;
    const std::function<void(OpenDlg&)> ends[] = {
        [](OpenDlg& d) { Key(d, Qt::Key_Escape); },
        [](OpenDlg& d) { d.windowHandle()->close(); },  // the close box and Alt+F4
        [](OpenDlg& d) {
            Click(d, QPoint(400, 150), Qt::RightButton);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            Key(*menu, Qt::Key_C);
        },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        OpenDlg dlg;
        ends[i](dlg);
        EXPECT_FALSE(dlg.isVisible()) << "path " << i;
        EXPECT_EQ(dlg.result(), QDialog::Rejected) << "path " << i;
        EXPECT_TRUE(dlg.m_link.IsCancelled()) << "path " << i;
        // A warning after the close goes to the terminal: no box over a closed window.
        BoxWatcher none([](QMessageBox* box) { Key(*box, Qt::Key_Escape); });
        dlg.m_link.ReportError("ReadFile()", "Input/output error");
        EXPECT_EQ(none.Seen(), 0) << "path " << i;
    }
}

TEST_F(MainWindow, TheWindowMenuOpensOnTheBackgroundAndFromTheKeyboardAndLeadsToAbout) {
    // Not over a control; over the background and over a label.
    Click(*dlg, kLines.center(), Qt::RightButton);
    EXPECT_EQ(OpenMenu(), nullptr);
    for (QPoint at : {QPoint(400, 150), kPortLabel[2].center()}) {
        Click(*dlg, at, Qt::RightButton);
        ASSERT_NE(OpenMenu(), nullptr);
        const QList<QAction*> items = OpenMenu()->actions();
        ASSERT_EQ(items.size(), 4);
        EXPECT_EQ(items[0]->text(), "&Close");
        EXPECT_TRUE(items[1]->isSeparator());
        EXPECT_EQ(items[2]->text(), "&About Vexlarin...");
        EXPECT_EQ(items[3]->text(), "&Port devices...");
        Key(*OpenMenu(), Qt::Key_Escape);
        EXPECT_EQ(OpenMenu(), nullptr);
    }
    // Shift+F10 in the page field: the keys go to the menu, not the field.
    Activate(*dlg);
    Click(*dlg, kPage.center());
    Key(*dlg, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(dlg->m_page.text(), "0");

    // The About box runs modally over the window, shown from inside its own loop.
    bool overTheWindow = false;
    ShowWatcher<CAboutBox> about([&](CAboutBox* box) {
        overTheWindow = QApplication::activeModalWidget() == box &&
                        box->parentWidget() == dlg.get() &&
                        box->windowModality() == Qt::WindowModal;
        Key(*box, Qt::Key_Escape);
    });
    Key(*OpenMenu(), Qt::Key_A);
    EXPECT_EQ(about.Seen(), 1);
    EXPECT_TRUE(overTheWindow);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(MainWindow, AboutBoxShowsNameVersionIconAndEndsOnOkEnterAndEscape) {
    const std::pair<std::function<void(CAboutBox&)>, int> ends[] = {
        // OK at 246, 7, 32, 14 dialog units.
        {[](CAboutBox& a) { Click(a, QRect(369, 11, 48, 23).center()); }, QDialog::Accepted},
        {[](CAboutBox& a) { Key(a, Qt::Key_Return); }, QDialog::Accepted},
        {[](CAboutBox& a) { Key(a, Qt::Key_Escape); }, QDialog::Rejected},
    };
    for (const auto& [end, result] : ends) {
        CAboutBox about(dlg.get());
        about.show();
        EXPECT_EQ(about.windowTitle(), "About Vexlarin");
        EXPECT_EQ(about.size(), QSize(428, 301));  // 285 x 185 units: 427.5 x 300.625 pixels
        auto* name = qobject_cast<QLabel*>(about.childAt(QPoint(62, 18)));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "Vexlarin Version 1.1");
        auto* icon = qobject_cast<QLabel*>(about.childAt(QPoint(20, 30)));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
        end(about);
        EXPECT_FALSE(about.isVisible());
        EXPECT_EQ(about.result(), result);
    }
}

TEST(AboutBox, EachNoticeFitsItsPlaceAndEndsWellAboveTheNextInTheMeasuredFont) {
    platform::OverrideBaseUnits(std::nullopt);
    CAboutBox about(nullptr);
    platform::OverrideBaseUnits(platform::BaseUnits{6, 13});
    std::vector<QLabel*> notices;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label->wordWrap()) {
            notices.push_back(label);
        }
    }
    ASSERT_EQ(notices.size(), 7u);
    std::sort(notices.begin(), notices.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
    for (std::size_t i = 0; i < notices.size(); ++i) {
        SCOPED_TRACE(notices[i]->text().toStdString());
        const int textHeight = notices[i]->heightForWidth(notices[i]->width());
        EXPECT_LE(textHeight, notices[i]->height());
        const int next = i + 1 < notices.size() ? notices[i + 1]->y() : about.height();
        EXPECT_LE(notices[i]->y() + textHeight + notices[i]->fontMetrics().lineSpacing() / 2, next);
    }
}

TEST_F(MainWindow, ClosingTheWindowFromInsideABoxOnTheGuiThreadEndsBoth) {
    BoxWatcher closer([&](QMessageBox*) { Key(*dlg, Qt::Key_Escape); });
    // As OpenPort's configuration warning does, from a selector's handler.
    dlg->m_link.ReportError("SetCommState()", "Invalid argument");
    EXPECT_EQ(closer.Seen(), 1);
    EXPECT_FALSE(dlg->isVisible());
    for (QMessageBox* box : dlg->findChildren<QMessageBox*>()) {
        EXPECT_FALSE(box->isVisible());
    }
}

}  // namespace
