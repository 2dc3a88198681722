// The main window as built: its controls where the layout puts them, their ids, kinds and
// texts, the tab order and first focus, the icons, and the arithmetic behind them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/gui_support.h"
#include "app/icon_placement.h"
#include "platform/dialog/dialog_units.h"
#include "resources/resource.h"
#include "resources/templates.h"
#include "support/pty_pair.h"

namespace {

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(platform::MulDiv(155, 13, 8), 252);  // 251.875
    EXPECT_EQ(platform::MulDiv(225, 6, 4), 338);   // 337.5
    EXPECT_EQ(platform::MulDiv(12, 13, 8), 20);    // 19.5
    EXPECT_EQ(platform::MulDiv(5, 13, 8), 8);      // 8.125
    EXPECT_EQ(platform::MulDiv(-225, 6, 4), -338);
    EXPECT_EQ(platform::MulDiv(225, -6, 4), -338);
    EXPECT_EQ(platform::MulDiv(-225, -6, 4), 338);
    // The product is kept in 64 bits; a result beyond int, or a zero divisor, gives -1.
    EXPECT_EQ(platform::MulDiv(1 << 30, 4, 8), 1 << 29);
    EXPECT_EQ(platform::MulDiv(1 << 30, 8, 4), -1);
    EXPECT_EQ(platform::MulDiv(7, 3, 0), -1);
}

TEST(MinimisedIcon, CentredWithTruncatingDivision) {
    // (37 - 32 + 1) / 2 = 3; 36 gives 5 / 2 = 2; 0 gives -31 / 2 = -15, toward zero.
    EXPECT_EQ(CenteredIconOrigin(0, 0, 37, 37, 32, 32), (IconOrigin{3, 3}));
    EXPECT_EQ(CenteredIconOrigin(0, 0, 36, 36, 32, 32), (IconOrigin{2, 2}));
    EXPECT_EQ(CenteredIconOrigin(0, 0, 0, 0, 32, 32), (IconOrigin{-15, -15}));
    // Width and height are taken apart, and a client origin other than 0 counts.
    EXPECT_EQ(CenteredIconOrigin(10, 20, 47, 56, 32, 32), (IconOrigin{3, 2}));
}

class MainWindow : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }

    AllPortsMissing ports;
    OpenDlg dlg;
};

struct ExpectedControl {
    const char* kind;
    int id;
    const char* text;
    int x, y, width, height;  // pixels with base units 6 x 13, worked out by hand
};

// The template as rendered, before any initialisation of the program's own writes to it.
TEST(MainTemplate, ControlsStandWhereTheLayoutPutsThem) {
    CDialog dlg(FindDialogTemplate(IDD_MAIN));
    ASSERT_TRUE(dlg.Create());
    const ExpectedControl expected[] = {
        {"QPushButton", 1, "List", 15, 252, 75, 23},  {"QListWidget", 1000, "", 15, 8, 300, 229},
        {"QCheckBox", 1005, "Com1", 338, 33, 15, 16}, {"QCheckBox", 1006, "Com2", 338, 59, 12, 16},
        {"QCheckBox", 1007, "Com3", 338, 80, 15, 16}, {"QCheckBox", 1004, "Com4", 338, 106, 15, 16},
        {"QLabel", -1, "COM 1", 365, 33, 41, 16},     {"QLabel", -1, "COM 2", 365, 59, 41, 16},
        {"QLabel", -1, "COM 3", 365, 80, 41, 16},     {"QLabel", -1, "COM 4", 365, 106, 41, 16},
        {"QLineEdit", 1008, "", 113, 252, 203, 20},   {"QLineEdit", 1009, "", 338, 203, 29, 20},
        {"QGroupBox", -1, "Page", 330, 171, 53, 65},  {"QGroupBox", -1, "Port", 330, 8, 90, 130},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const ExpectedControl& want = expected[i];
        QWidget* widget = dlg.GetTemplateItem(i);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), want.kind);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            EXPECT_TRUE(box->isTristate());
            EXPECT_EQ(box->checkState(), Qt::Unchecked);
        }
        if (want.id != -1) {
            EXPECT_EQ(dlg.GetDlgItem(want.id), widget);
            EXPECT_EQ(dlg.GetDlgItemText(want.id), want.text);
        } else {
            CWnd label;
            label.Attach(widget);
            EXPECT_EQ(label.GetWindowText(), want.text);
        }
        EXPECT_EQ(widget->geometry(), QRect(want.x, want.y, want.width, want.height));
    }
    EXPECT_EQ(dlg.GetTemplateItem(14), nullptr);
}

TEST_F(MainWindow, WindowHasTheCaptionSizeAndNoMinimiseBox) {
    QWidget* window = dlg.Window();
    EXPECT_EQ(window->windowTitle(), "Vexlarin");
    // 290 x 178 dialog units: 435 x 289.25 pixels.
    EXPECT_EQ(window->size(), QSize(435, 289));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindow, MembersAreBoundToTheirControls) {
    EXPECT_EQ(dlg.m_status.Widget(), dlg.GetDlgItem(1008));
    EXPECT_EQ(dlg.m_listButton.Widget(), dlg.GetDlgItem(1));
    EXPECT_EQ(dlg.m_lines.Widget(), dlg.GetDlgItem(1000));
    EXPECT_EQ(dlg.m_port4.Widget(), dlg.GetDlgItem(1004));
    EXPECT_EQ(dlg.m_port3.Widget(), dlg.GetDlgItem(1007));
    EXPECT_EQ(dlg.m_port2.Widget(), dlg.GetDlgItem(1006));
    EXPECT_EQ(dlg.m_port1.Widget(), dlg.GetDlgItem(1005));
    // The status line is read-only, the page field is not.
    EXPECT_TRUE(qobject_cast<QLineEdit*>(dlg.GetDlgItem(1008))->isReadOnly());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(dlg.GetDlgItem(1009))->isReadOnly());
}

TEST_F(MainWindow, TabVisitsTheTabStopsInTemplateOrderStartingAtList) {
    QWidget* list = dlg.GetDlgItem(1);
    EXPECT_EQ(dlg.Window()->focusWidget(), list);

    const int expected[] = {1, 1000, 1005, 1006, 1007, 1004, 1008, 1009, 1};
    // Enabled so that the selectors take part whatever the port probing made of them.
    for (int id : {1004, 1005, 1006, 1007}) {
        dlg.GetDlgItem(id)->setEnabled(true);
    }
    QWidget* at = list;
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        do {
            at = at->nextInFocusChain();
        } while (!(at->focusPolicy() & Qt::TabFocus) || !at->isEnabled());
        EXPECT_EQ(at, dlg.GetDlgItem(expected[i])) << "tab stop " << i;
    }
}

TEST_F(MainWindow, ControlWrappersReadAndWriteTheirWidgets) {
    dlg.m_lines.AddString("00    01 02");
    dlg.m_lines.AddString("10    11 12");
    EXPECT_EQ(dlg.m_lines.GetCount(), 2);
    EXPECT_EQ(dlg.m_lines.GetText(1), "10    11 12");
    EXPECT_EQ(dlg.m_lines.GetText(2), "");
    dlg.m_lines.ResetContent();
    EXPECT_EQ(dlg.m_lines.GetCount(), 0);

    dlg.SetDlgItemText(1009, "7");
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.GetDlgItem(1009))->text(), "7");
    dlg.m_status.SetWindowText("Reading line 3");
    EXPECT_EQ(dlg.GetDlgItemText(1008), "Reading line 3");

    dlg.m_listButton.EnableWindow(false);
    EXPECT_FALSE(dlg.GetDlgItem(1)->isEnabled());
    EXPECT_FALSE(dlg.m_listButton.IsWindowEnabled());

    dlg.SetPortLabelToolTip(3, "/dev/ttyS2: No such file or directory");
    EXPECT_EQ(dlg.GetTemplateItem(8)->toolTip(), "/dev/ttyS2: No such file or directory");
    EXPECT_NE(dlg.GetTemplateItem(7)->toolTip(), "/dev/ttyS2: No such file or directory");
    EXPECT_NE(dlg.GetTemplateItem(9)->toolTip(), "/dev/ttyS2: No such file or directory");
}

TEST_F(MainWindow, CheckStatesUseTheProgramsNumbers) {
    auto* box = qobject_cast<QCheckBox*>(dlg.GetDlgItem(1005));
    dlg.m_port1.SetCheck(1);
    EXPECT_EQ(box->checkState(), Qt::Checked);
    dlg.m_port1.SetCheck(2);
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(dlg.m_port1.GetCheck(), 2);
    dlg.m_port1.SetCheck(0);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    box->setCheckState(Qt::Checked);
    EXPECT_EQ(dlg.m_port1.GetCheck(), 1);
}

TEST_F(MainWindow, IconHasBothSizesAndIsTheWindowsAndTheDragIcon) {
    ASSERT_NE(dlg.m_hIcon, nullptr);
    const QList<QSize> sizes = dlg.m_hIcon->availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_EQ(dlg.GetIcon(true), dlg.m_hIcon);
    EXPECT_EQ(dlg.GetIcon(false), dlg.m_hIcon);
    EXPECT_FALSE(dlg.Window()->windowIcon().isNull());
    EXPECT_EQ(dlg.SendMessage(Message::QueryDragIcon).icon, dlg.m_hIcon);
}

}  // namespace
