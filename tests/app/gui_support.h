// Shared by the window tests: the Qt application (offscreen, base units fixed at 6 x 13), the
// main window shown with its members opened up, its layout in pixels worked out by hand, input
// through the window handle (Qt's own hit-testing picks the widget), and waits for boxes.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QRect>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/vexlarin_dlg.h"

struct OpenDlg : CVexlarinDlg {
    OpenDlg() { show(); }
    using CVexlarinDlg::m_commandThread;
    using CVexlarinDlg::m_currentPort;
    using CVexlarinDlg::m_lines;
    using CVexlarinDlg::m_link;
    using CVexlarinDlg::m_listButton;
    using CVexlarinDlg::m_page;
    using CVexlarinDlg::m_portLabels;
    using CVexlarinDlg::m_status;
    QCheckBox& Selector(int port) {
        QCheckBox* boxes[] = {&m_port1, &m_port2, &m_port3, &m_port4};
        return *boxes[port - 1];
    }
};

// Where the main window's controls stand: the template's dialog units times 6/4 and 13/8,
// rounded half up.
inline const QRect kListButton{15, 252, 75, 23};
inline const QRect kLines{15, 8, 300, 229};
inline const QRect kSelector[4]{
    {338, 33, 15, 16}, {338, 59, 12, 16}, {338, 80, 15, 16}, {338, 106, 15, 16}};
inline const QRect kPortLabel[4]{
    {365, 33, 41, 16}, {365, 59, 41, 16}, {365, 80, 41, 16}, {365, 106, 41, 16}};
inline const QRect kStatus{113, 252, 203, 20};
inline const QRect kPage{338, 203, 29, 20};
inline const QRect kPageFrame{330, 171, 53, 65};
inline const QRect kPortFrame{330, 8, 90, 130};

// Input as a user gives it, to the window at a point in its coordinates or to its focus.
void Click(QWidget& window, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void Key(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Makes the window the active one, as it is for a user working in it (shortcuts and tooltips
// need that).
void Activate(QWidget& window);
// Clicks into the page field and replaces its text with `text`.
void TypePage(QWidget& window, const char* text);

// Processes events until `done` holds, sleeping in the event wait between them.
void ProcessEventsUntil(const std::function<bool()>& done);

// Counts the dialogs of type D that show and, once each is up, runs `act` on it from the event
// loop (inside the dialog's own loop when it is run modally).
template <class D>
class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(std::function<void(D*)> act = {}) : m_act(std::move(act)) {
        qApp->installEventFilter(this);
    }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }
    int Seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        D* dialog = event->type() == QEvent::Show ? dynamic_cast<D*>(watched) : nullptr;
        if (dialog) {
            ++m_seen;
            if (m_act) {
                QTimer::singleShot(0, dialog, [this, dialog] { m_act(dialog); });
            }
        }
        return false;
    }

private:
    std::function<void(D*)> m_act;
    int m_seen = 0;
};
using BoxWatcher = ShowWatcher<QMessageBox>;

// Closes a box with its OK button, clicked through the box's own window.
void ClickOk(QMessageBox* box);
