// CVexlarinApp: the application object. Its start-up runs the main dialog and ends the
// program when the dialog closes.
#pragma once

#include "platform/dialog/win_app.h"

class CVexlarinApp : public CWinApp {
public:
    CVexlarinApp() = default;
    ~CVexlarinApp() override = default;
    bool InitInstance() override;

protected:
    std::span<const AppMessageEntry> GetAppMessageMap() const override;
};
