#include "app/vexlarin_app.h"

#include "app/vexlarin_dlg.h"
#include "resources/resource.h"

std::span<const CWinApp::AppMessageEntry> CVexlarinApp::GetAppMessageMap() const {
    static const AppMessageEntry entries[] = {
        {ID_HELP, [](CWinApp& app) { static_cast<CVexlarinApp&>(app).OnHelp(); }},
    };
    return entries;
}

bool CVexlarinApp::InitInstance() {
    Enable3dControlsStatic();
    CVexlarinDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // The dialog has closed: the application runs no loop of its own.
    return false;
}
