// The "List" button and Enter: the List command on a thread of its own, so that the window
// keeps painting while the camera is read.
#include <system_error>

#include "app/vexlarin_dlg.h"
#include "app/window_list_view.h"
#include "listing/list_command.h"

void CVexlarinDlg::OnList() {
    // One command at a time on the link, and none while a port open of the window's own waits
    // in its warning box.
    if (ListRunning() || m_portOpening) {
        return;
    }
    RunCommand([this, port = m_currentPort, page = m_page.text().toStdString()] {
        WindowListView view(*this, m_page, m_status, m_lines, m_listButton, page);
        ListPage(m_link, port, view, "Vexlarin.txt");
    });
}

void CVexlarinDlg::RunCommand(std::function<void()> command, std::function<void()> then) {
    for (int port = 1; port <= 4; ++port) {
        m_selectorsEnabled[port - 1] = PortSelector(port).isEnabled();
        PortSelector(port).setEnabled(false);
    }
    m_portDevicesEntry->setEnabled(false);
    m_readMemoryEntry->setEnabled(false);
    try {
        m_commandThread = std::thread([this, command = std::move(command), then] {
            command();
            // Posted, not waited for: the GUI thread joins this thread when it runs it. The
            // window outlives the thread (the close path joins first), so the call has a
            // target.
            QMetaObject::invokeMethod(
                this,
                [this, then] {
                    if (!m_commandThread.joinable()) {
                        return;  // the close path came first: nothing is shown any more
                    }
                    OnListDone();
                    if (then) {
                        then();
                    }
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error& error) {
        OnListDone();  // gives the selectors back
        m_link.ReportError("std::thread()", error.code().message().c_str());
        if (then) {
            then();
        }
    }
}

void CVexlarinDlg::OnListDone() {
    if (m_commandThread.joinable()) {
        m_commandThread.join();
    }
    for (int port = 1; port <= 4; ++port) {
        PortSelector(port).setEnabled(m_selectorsEnabled[port - 1]);
    }
    m_portDevicesEntry->setEnabled(true);
    m_readMemoryEntry->setEnabled(true);
    // The command's closing re-open may have found the port gone or back.
    ShowLastOpenOnToolTip();
}
