// vexlarin-list's side of the List command: the page's lines on standard output, status texts
// and warnings on standard error.
#pragma once

#include <string>

#include "listing/list_view.h"
#include "platform/stop_signals.h"
#include "serial/warning_sink.h"

class TerminalView : public IListView {
public:
    // `stdoutClosed`: standard output was closed at start (and now leads to the null device),
    // so every line would be lost.
    explicit TerminalView(bool stdoutClosed) : m_stdoutClosed(stdoutClosed) {}
    // Pages are given by number: there is no field to read.
    std::string PageFieldText() override { return ""; }
    void SetStatus(const std::string& text) override;
    void ResetLines() override {}
    void AddLine(const std::string& text) override { Print(text); }
    void EnableListButton(bool) override {}
    void ShowHeader(const std::string& header) override { Print(header); }

    // Whether a line could not be written to standard output.
    bool OutputFailed() const { return m_outputFailed; }

private:
    // One line on standard output, handed on at once. The first failure is reported; the later
    // lines are not tried, as they would fail alike.
    void Print(const std::string& text);

    bool m_stdoutClosed;
    bool m_outputFailed = false;
};

class TerminalWarnings : public IWarningSink {
public:
    explicit TerminalWarnings(platform::StopSignals& stop) : m_stop(stop) {}
    // Once the user has stopped, nothing more: the port hanging up as the camera is stopped
    // too is no news to them.
    void ShowWarning(const std::string& title, const std::string& text) override;

private:
    platform::StopSignals& m_stop;
};
