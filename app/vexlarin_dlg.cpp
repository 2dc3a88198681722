#include "app/vexlarin_dlg.h"

#include <QIcon>
#include <QPainter>
#include <QWidget>

#include "app/about_box.h"
#include "app/icon_placement.h"
#include "platform/dialog/gui_call.h"
#include "resources/icons.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "resources/templates.h"

const MessageMapEntry CVexlarinDlg::messageMap[] = {
    OnWmSysCommand<&CVexlarinDlg::OnSysCommand>(),
    OnWmPaint<&CVexlarinDlg::OnPaint>(),
    OnWmQueryDragIcon<&CVexlarinDlg::OnQueryDragIcon>(),
    OnBnClicked<&CVexlarinDlg::OnPort1>(IDC_PORT1),
    OnBnClicked<&CVexlarinDlg::OnPort2>(IDC_PORT2),
    OnBnClicked<&CVexlarinDlg::OnPort3>(IDC_PORT3),
    OnBnClicked<&CVexlarinDlg::OnPort4>(IDC_PORT4),
    OnBnClicked<&CVexlarinDlg::OnList>(IDOK),
};

// Template positions of the labels "COM 1" to "COM 4", which have no id.
namespace {
constexpr std::size_t kPortLabelIndex[4] = {6, 7, 8, 9};
}

CVexlarinDlg::CVexlarinDlg(CDialog* parent) : CDialog(FindDialogTemplate(IDD_MAIN), parent) {
    m_hIcon = LoadIconResource(IDI_MAIN);
    platform::AcceptGuiCalls();
}

CVexlarinDlg::~CVexlarinDlg() {
    // Normally done by the close path; here for a dialog that never ran its loop.
    StopCommandThread();
}

MessageMap CVexlarinDlg::GetMessageMap() const {
    return messageMap;
}

void CVexlarinDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_STATUS, m_status);
    DDX_Control(pDX, IDOK, m_listButton);
    DDX_Control(pDX, IDC_LINES, m_lines);
    DDX_Control(pDX, IDC_PORT4, m_port4);
    DDX_Control(pDX, IDC_PORT3, m_port3);
    DDX_Control(pDX, IDC_PORT2, m_port2);
    DDX_Control(pDX, IDC_PORT1, m_port1);
}

bool CVexlarinDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* sysMenu = GetSystemMenu(false)) {
        const std::string aboutEntry = LoadResourceString(IDS_ABOUT_ENTRY);
        if (!aboutEntry.empty()) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, ID_SYS_ABOUT, aboutEntry);
        }
    }

    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    ProbePorts();
    return true;
}

void CVexlarinDlg::OnSysCommand(std::uint32_t nID, std::intptr_t lParam) {
    if ((nID & 0xFFF0) == ID_SYS_ABOUT) {
        CAboutBox dlgAbout;
        dlgAbout.DoModal();
    } else {
        DefaultSysCommand(nID, lParam);
    }
}

void CVexlarinDlg::OnPaint() {
    if (!IsIconic()) {
        DefaultPaint();
        return;
    }
    QPainter dc(Window());
    // The icon's background first, as the minimised window's erase would.
    dc.fillRect(Window()->rect(), Window()->palette().window());
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    const platform::PixelRect rect = GetClientRect();
    const IconOrigin at = CenteredIconOrigin(rect.x, rect.y, rect.x + rect.width,
                                             rect.y + rect.height, cxIcon, cyIcon);
    if (m_hIcon) {
        m_hIcon->paint(&dc, at.x, at.y, cxIcon, cyIcon);
    }
}

HICON CVexlarinDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CVexlarinDlg::SetPortLabelToolTip(int port, const std::string& text) {
    if (port < 1 || port > 4) {
        return;
    }
    if (QWidget* label = GetTemplateItem(kPortLabelIndex[port - 1])) {
        label->setToolTip(QString::fromStdString(text));
    }
}

void CVexlarinDlg::OnEndDialog() {
    // Nothing may keep the close waiting: the listing stops at its next step, every box and
    // every thread waiting on this thread is released, and only then is the command joined.
    m_link.Cancel();
    m_warningSink.Shutdown();
    platform::RefuseGuiCalls();
    StopCommandThread();
}

void CVexlarinDlg::StopCommandThread() {
    if (m_commandThread.joinable()) {
        m_link.Cancel();
        m_warningSink.Shutdown();
        platform::RefuseGuiCalls();
        m_commandThread.join();
    }
}
