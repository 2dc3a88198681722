// CWinApp: the application object. The program has exactly one, a global; main() runs its
// InitInstance and ends the process when it returns false.
#pragma once

#include "platform/dialog/message_map.h"

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual bool InitInstance() { return true; }

    // The 3-D control look is Qt's own style here; kept for the start-up's order of steps.
    bool Enable3dControlsStatic() { return true; }

    // Commands sent to the application (the Help command); false when no entry takes it.
    bool OnCmdMsg(int id);

    CDialog* m_pMainWnd = nullptr;

protected:
    struct AppMessageEntry {
        int id;
        void (*invoke)(CWinApp& app);
    };
    virtual std::span<const AppMessageEntry> GetAppMessageMap() const { return {}; }

    // The framework's help handler: the program has no help text, so it shows nothing.
    void OnHelp() {}
};

// The one application object, null before it is constructed.
CWinApp* AfxGetApp();

// What the process runs: InitInstance, then the exit processing. Returns the exit status.
int AfxWinMain();
