// The "List" button and Enter: the List command on a thread of its own, so that the window
// keeps painting while the camera is read.
#include <QMetaObject>
#include <QWidget>
#include <system_error>

#include "app/vexlarin_dlg.h"
#include "app/window_list_view.h"
#include "listing/list_command.h"
#include "resources/resource.h"

void CVexlarinDlg::OnList() {
    // One command at a time on the link, and none while a port open of the window's own waits
    // in its warning box.
    if (ListRunning() || m_portOpening) {
        return;
    }
    QWidget* window = Window();
    if (!window) {
        return;
    }
    for (int port = 1; port <= 4; ++port) {
        m_selectorsEnabled[port - 1] = PortSelector(port).IsWindowEnabled();
        PortSelector(port).EnableWindow(false);
    }
    const int port = m_currentPort;
    try {
        m_commandThread = std::thread([this, window, port, page = GetDlgItemText(IDC_PAGE)] {
            WindowListView view(*this, m_status, m_lines, m_listButton, page);
            ListPage(m_link, port, view, "Vexlarin.txt");
            // Posted, not waited for: the GUI thread joins this thread when it runs it. The
            // window outlives the thread (the close path joins first), so the call has a target.
            QMetaObject::invokeMethod(
                window, [this] { OnListDone(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error& error) {
        OnListDone();  // gives the selectors back
        m_link.ReportError("std::thread()", error.code().message().c_str());
    }
}

void CVexlarinDlg::OnListDone() {
    if (m_commandThread.joinable()) {
        m_commandThread.join();
    }
    for (int port = 1; port <= 4; ++port) {
        PortSelector(port).EnableWindow(m_selectorsEnabled[port - 1]);
    }
    // The command's closing re-open may have found the port gone or back.
    ShowLastOpenOnToolTip();
}
