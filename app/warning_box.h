// The window's warning sink: every warning as a box with an error icon and one OK button,
// shown on the GUI thread whatever thread raised it; the raising thread waits until it closes.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "serial/warning_sink.h"

class QtWarningSink : public IWarningSink {
public:
    // The boxes stay above `window` (null: no window) without blocking it.
    explicit QtWarningSink(QWidget* window = nullptr);
    ~QtWarningSink() override;

    void ShowWarning(const std::string& title, const std::string& text) override;

    // Gives the keyboard back to the newest open box, if any: a box of the window's own
    // (About) opened while it waited lay over it.
    void Raise();

    // Closes every open box; later warnings go to stderr instead, so none is lost. The close
    // path calls it (on the GUI thread) after RefuseGuiCalls, which releases the raisers.
    void Shutdown();

private:
    // GUI thread only; shared with the boxes, which may outlive the sink.
    struct State {
        bool shutDown = false;
        QPointer<QWidget> window;
        std::vector<QMessageBox*> open;  // oldest first
    };
    static void RunBox(State& state, const std::string& title, const std::string& text);

    std::shared_ptr<State> m_state = std::make_shared<State>();
};
