#include "app/vexlarin_dlg.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QShortcut>

#include "app/about_box.h"
#include "app/accessible.h"
#include "app/dialog_units.h"
#include "app/gui_call.h"
#include "app/port_devices_dialog.h"
#include "resources/icons.h"
#include "resources/templates.h"

namespace {

const char* const kAboutEntry = "&About Vexlarin...";
const char* const kPortDevicesEntry = "&Port devices...";
const char* const kReadMemoryEntry = "&Read whole memory...";

// The room a whole page takes in `list`, frame included: 16 lines as wide as a line of a page
// (two address characters, four blanks, 16 bytes of two digits and a blank each) in the list's
// own font.
QSize PageRoom(QListWidget& list) {
    list.addItem(QStringLiteral("F0    ") + QStringLiteral("FF ").repeated(16));
    const QSize lines(list.sizeHintForColumn(0), 16 * list.sizeHintForRow(0));
    list.clear();
    return lines + 2 * QSize(list.frameWidth(), list.frameWidth());
}

}  // namespace

CVexlarinDlg::CVexlarinDlg() {
    AcceptGuiCalls();
    // Before any control changes: Qt gives a control its interface for screen readers at its
    // first change (a text, a name), and keeps it; the status line is read-only by then.
    InstallAccessibleInterfaces();
    m_status.setReadOnly(true);
    // A window of its own, with a taskbar entry, a window menu and a close box; no minimise or
    // maximise box, since its size is fixed.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(kMainTemplate.caption);
    setWindowIcon(ProgramIcon());
    setFont(QFont(kMainTemplate.fontName, kMainTemplate.fontPoints));
    const BaseUnits base = BaseUnitsOf(font());
    const DialogTemplate& t = kMainTemplate;
    // The keyboard's focus seen where the desktop's style hardly shows it (the fields show it
    // well); before the layout, since the list's frame follows the style.
    for (QWidget* control : std::initializer_list<QWidget*>{
             &m_listButton, &m_lines, &m_ports[0], &m_ports[1], &m_ports[2], &m_ports[3]}) {
        control->setStyle(&m_focusStyle);
    }

    // The lines in the desktop's fixed-pitch font, so that the columns line up, at the dialog's
    // own size. Where the template's list is too small for a whole page in it, the list grows
    // by what it lacks, and the window, and whatever lies right of the list or below it, with
    // it: the page is seen whole, without scrolling.
    QFont lineFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    lineFont.setPointSize(t.fontPoints);
    m_lines.setFont(lineFont);
    const ControlTemplate& list = t.Control(IDC_LINES);
    const QRect listPlace = DialogUnitsToPixels(list.x, list.y, list.cx, list.cy, base);
    const QSize grow = (PageRoom(m_lines) - listPlace.size()).expandedTo(QSize(0, 0));
    const auto place = [&](auto& control, const ControlTemplate& entry) {
        Place(control, entry, base);
        control.move(control.pos() + QPoint(entry.x >= list.x + list.cx ? grow.width() : 0,
                                            entry.y >= list.y + list.cy ? grow.height() : 0));
    };
    setFixedSize(DialogUnitsToPixels(0, 0, t.cx, t.cy, base).size() + grow);
    Place(m_lines, list, base);
    m_lines.resize(m_lines.size() + grow);

    place(m_listButton, t.Control(IDOK));
    for (int n = 1; n <= 4; ++n) {
        place(m_ports[n - 1], t.Control(kPortIds[n - 1]));
        place(m_portLabels[n - 1], t.Static("COM " + std::to_string(n)));
        // Named as its label reads, for screen readers.
        m_ports[n - 1].setAccessibleName(m_portLabels[n - 1].text());
    }
    place(m_status, t.Control(IDC_STATUS));
    place(m_page, t.Control(IDC_PAGE));
    place(m_pageFrame, t.Static("Page"));
    place(m_portFrame, t.Static("Port"));
    // Created last, the frames would lie on top and take every click and hover meant for the
    // controls inside them.
    m_pageFrame.lower();
    m_portFrame.lower();

    m_listButton.setDefault(true);  // Enter anywhere in the window presses it
    m_lines.setAccessibleName("Lines");
    m_status.setAccessibleName("Status");
    // Read-only shows as such: the window's background, not an input field's.
    QPalette statusLook = m_status.palette();
    statusLook.setColor(QPalette::Base, statusLook.color(QPalette::Window));
    m_status.setPalette(statusLook);
    m_page.setAccessibleName("Page");

    connect(&m_listButton, &QPushButton::clicked, this, &CVexlarinDlg::OnList);
    const std::array onPort{&CVexlarinDlg::OnPort1, &CVexlarinDlg::OnPort2, &CVexlarinDlg::OnPort3,
                            &CVexlarinDlg::OnPort4};
    for (int n = 1; n <= 4; ++n) {
        connect(&m_ports[n - 1], &QCheckBox::clicked, this, onPort[n - 1]);
    }

    m_windowMenu.addAction("&Close", this, &QDialog::reject);
    m_windowMenu.addSeparator();
    m_windowMenu.addAction(kAboutEntry, this, &CVexlarinDlg::OnAbout);
    m_portDevicesEntry =
        m_windowMenu.addAction(kPortDevicesEntry, this, &CVexlarinDlg::OnPortDevices);
    m_readMemoryEntry = m_windowMenu.addAction(kReadMemoryEntry, this, &CVexlarinDlg::OnReadMemory);
    // The window manager keeps Alt+Space for its own menu where it has one.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::ALT | Qt::Key_Space), QKeySequence(Qt::Key_Menu),
          QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this,
                [this] { m_windowMenu.popup(mapToGlobal(QPoint(0, 0))); });
    }

    ProbePorts();
    m_listButton.setFocus();
}

CVexlarinDlg::~CVexlarinDlg() {
    // Normally done by the close path; here for a window that was never closed.
    StopCommandThread();
}

void CVexlarinDlg::done(int result) {
    StopCommandThread();
    m_progress.reset();  // its run has ended with the thread
    QDialog::done(result);
}

void CVexlarinDlg::StopCommandThread() {
    // Nothing may keep the close waiting: the listing stops at its next step, every thread
    // waiting on this thread is released, every box closed, and only then is the command joined.
    m_link.Cancel();
    RefuseGuiCalls();
    m_warningSink.Shutdown();
    if (m_commandThread.joinable()) {
        m_commandThread.join();
    }
}

void CVexlarinDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Controls that do not take the event themselves still keep the menu to themselves.
    QWidget* child = childAt(event->pos());
    if (child && !qobject_cast<QLabel*>(child) && !qobject_cast<QGroupBox*>(child)) {
        event->ignore();
        return;
    }
    m_windowMenu.popup(event->globalPos());
}

void CVexlarinDlg::OnAbout() {
    CAboutBox about(this);
    about.exec();
    // A warning that waited when About opened lay under it: the keyboard goes back to it, not
    // to the window, where Escape would end the program.
    m_warningSink.Raise();
}

void CVexlarinDlg::OnPortDevices() {
    // The probing re-opens the port: never under a running listing or an open of the window's
    // own that waits in its warning box.
    if (ListRunning() || m_portOpening) {
        return;
    }
    PortDevicesDialog devices(this);
    if (devices.exec() == QDialog::Accepted && !ListRunning()) {
        ProbePorts(false);
    }
}
