#include "app/about_box.h"

#include "platform/dialog/win_app.h"
#include "resources/resource.h"
#include "resources/templates.h"

// No parent given: the application's main window owns the box.
CAboutBox::CAboutBox()
    : CDialog(FindDialogTemplate(IDD_ABOUT), AfxGetApp() ? AfxGetApp()->m_pMainWnd : nullptr) {}

void CAboutBox::DoDataExchange(CDataExchange*) {}
