// Where the link's warnings go: the window's warning box, a terminal, or a test's recorder.
#pragma once

#include <string>

class IWarningSink {
public:
    virtual ~IWarningSink() = default;
    // Shows one warning and returns once the user has closed it. Called on any thread, never
    // with a lock of the link held.
    virtual void ShowWarning(const std::string& title, const std::string& text) = 0;
};
