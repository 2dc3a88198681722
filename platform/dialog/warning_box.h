// The window's warning sink: every warning as a box with an error icon and one OK button,
// shown on the GUI thread whatever thread raised it; the raising thread waits until it closes.
#pragma once

#include <memory>
#include <string>

#include "serial/warning_sink.h"

namespace platform {

class QtWarningSink : public IWarningSink {
public:
    QtWarningSink();
    ~QtWarningSink() override;

    void ShowWarning(const std::string& title, const std::string& text) override;

    // Closes every open box and makes later warnings return at once (written to stderr
    // instead, so none is lost). Called on the GUI thread by the window's close path.
    void Shutdown();
    bool IsShutDown() const;

    struct State;

private:
    // Shared with the boxes posted to the GUI thread, which may run after the sink is gone.
    std::shared_ptr<State> m_state;
};

}  // namespace platform
