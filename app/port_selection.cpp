// Port probing at start and the four port selectors.
#include "app/port_tooltip.h"
#include "app/vexlarin_dlg.h"
#include "serial/port_choice.h"

bool CVexlarinDlg::OpenSelectedPort(int port) {
    m_portOpening = true;
    const bool opened = OpenListingPort(m_link, port);
    m_portOpening = false;
    ShowLastOpenOnToolTip();
    return opened;
}

void CVexlarinDlg::ShowLastOpenOnToolTip() {
    const int port = m_link.PortNumber();
    if (port < 1 || port > 4) {
        return;
    }
    const QString text =
        QString::fromStdString(PortToolTip(port, m_link.DevicePath(), m_link.OpenFailureText()));
    m_portLabels[port - 1].setToolTip(text);
    // On the selector too, where a keyboard or screen-reader user meets it.
    PortSelector(port).setToolTip(text);
    PortSelector(port).setAccessibleDescription(text);
}

namespace {
// Shown in the otherwise empty status line when no port opened; short, so that it fits.
const char* const kNoPortHint = "No port opened: see Port devices...";
const char* const kNoPortMore =
    "Port devices... is in the window menu: right-click the window or press Shift+F10.";
}  // namespace

void CVexlarinDlg::ProbePorts(bool atStart) {
    // After "Port devices...", the port in use stays in use where it still opens.
    const int inUse = atStart ? 0 : m_currentPort;
    m_currentPort = 0;
    // Unchecked too: the probing also runs again once the port devices have changed.
    for (int port = 1; port <= 4; ++port) {
        PortSelector(port).setEnabled(false);
        PortSelector(port).setCheckState(Qt::Unchecked);
    }
    // Highest first, so that the lowest port that opens is the one chosen.
    bool inUseOpens = false;
    for (int port = 4; port >= 1; --port) {
        if (OpenSelectedPort(port)) {
            PortSelector(port).setEnabled(true);
            m_currentPort = port;
            inUseOpens = inUseOpens || port == inUse;
        }
    }
    if (inUseOpens) {
        m_currentPort = inUse;
    }
    // The COM1 probe closed whatever was open before it: open the chosen port again.
    if (m_currentPort != 0) {
        PortSelector(m_currentPort).setCheckState(Qt::Checked);
        OpenSelectedPort(m_currentPort);
    }
    // The user's page stays as typed when the ports are probed again.
    if (atStart) {
        m_page.setText("0");
    }
    if (m_currentPort == 0) {
        m_status.setText(kNoPortHint);
        m_status.setCursorPosition(0);
        m_status.setToolTip(kNoPortMore);
    } else if (m_status.text() == kNoPortHint) {
        m_status.clear();
        m_status.setToolTip({});
    }
}

void CVexlarinDlg::SelectPort(int port) {
    // The selectors are disabled during a listing; a click from inside an open's warning box
    // must not open the port under a running command either.
    if (ListRunning() || m_portOpening) {
        return;
    }
    if (!OpenSelectedPort(port)) {
        return;  // the clicked box keeps the state its click gave it
    }
    for (int n = 1; n <= 4; ++n) {
        PortSelector(n).setCheckState(n == port ? Qt::Checked : Qt::Unchecked);
    }
    m_currentPort = port;
}

void CVexlarinDlg::OnPort1() {
    SelectPort(1);
}

void CVexlarinDlg::OnPort2() {
    SelectPort(2);
}

void CVexlarinDlg::OnPort3() {
    SelectPort(3);
}

void CVexlarinDlg::OnPort4() {
    SelectPort(4);
}
