// Shared by the window tests: the Qt application (offscreen), the main dialog with its members
// opened up, and ways to act while a modal box runs.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

#include "app/vexlarin_dlg.h"

struct OpenDlg : CVexlarinDlg {
    using CVexlarinDlg::m_commandThread;
    using CVexlarinDlg::m_currentPort;
    using CVexlarinDlg::m_hIcon;
    using CVexlarinDlg::m_lines;
    using CVexlarinDlg::m_link;
    using CVexlarinDlg::m_listButton;
    using CVexlarinDlg::m_port1;
    using CVexlarinDlg::m_port2;
    using CVexlarinDlg::m_port3;
    using CVexlarinDlg::m_port4;
    using CVexlarinDlg::m_status;
};

// The visible top-level window with this title, or null.
QWidget* FindVisibleWindow(const QString& title);

// Runs `action`; the first time the event loop turns while it runs, `whileRunning` is called
// (with a modal box of the action open, if it opened one). Returns whether `whileRunning` ran
// before `action` returned.
bool WhileRunning(const std::function<void()>& action, const std::function<void()>& whileRunning);

// Processes events until `done` holds, sleeping in the event wait between them.
void ProcessEventsUntil(const std::function<bool()>& done);

// Counts the warning boxes that show and, once each is up, runs `act` on it from the event loop.
class BoxWatcher : public QObject {
public:
    explicit BoxWatcher(std::function<void(QMessageBox*)> act = {});
    ~BoxWatcher() override;
    int Seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QMessageBox*)> m_act;
    int m_seen = 0;
};
