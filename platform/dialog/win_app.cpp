#include "platform/dialog/win_app.h"

#include <QCoreApplication>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char*) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

bool CWinApp::OnCmdMsg(int id) {
    for (const AppMessageEntry& entry : GetAppMessageMap()) {
        if (entry.id == id) {
            entry.invoke(*this);
            return true;
        }
    }
    return false;
}

CWinApp* AfxGetApp() {
    return g_app;
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    // InitInstance false: no message loop of the application's own, straight to the exit.
    if (app && app->InitInstance()) {
        return QCoreApplication::exec();
    }
    return 0;
}
