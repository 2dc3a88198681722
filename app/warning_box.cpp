#include "app/warning_box.h"

#include <QApplication>
#include <QEventLoop>
#include <cstdio>

#include "app/gui_call.h"

namespace {
void WriteToTerminal(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s", title.c_str(), text.c_str());
}
}  // namespace

QtWarningSink::QtWarningSink(QWidget* window) {
    m_state->window = window;
}

QtWarningSink::~QtWarningSink() {
    Shutdown();
}

void QtWarningSink::ShowWarning(const std::string& title, const std::string& text) {
    // Copies: a close lets this thread go on while the box is still unwinding.
    if (!RunOnGuiThread([state = m_state, title, text] { RunBox(*state, title, text); })) {
        WriteToTerminal(title, text);  // no window to show it in any more
    }
}

void QtWarningSink::RunBox(State& state, const std::string& title, const std::string& text) {
    if (state.shutDown) {
        WriteToTerminal(title, text);
        return;
    }
    // Owned by the window, so the window manager keeps it above the window; not modal, so
    // the window stays usable and closing it still ends the program. While a box of the
    // window's own is open (About, Port devices), which blocks the window, it is owned by
    // that box and modal to it: owned by the window, it would lie under that box, blocked.
    QWidget* const modal = QApplication::activeModalWidget();
    const QPointer<QWidget> owner = modal ? modal : state.window.data();
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Critical, QString::fromStdString(title),
                        QString::fromStdString(text), QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(modal ? Qt::WindowModal : Qt::NonModal);
    // Kept as a plain pointer too: the box may delete itself before the loop returns.
    QMessageBox* const shown = box.data();
    state.open.push_back(shown);
    QEventLoop loop;
    QObject::connect(box.data(), &QMessageBox::finished, &loop, &QEventLoop::quit);
    box->show();
    // The keyboard goes to the box, with or without a window manager: Enter and Escape must
    // close the box, not reach the window behind it.
    box->raise();
    box->activateWindow();
    loop.exec();
    std::erase(state.open, shown);
    if (box) {
        box->close();
    }
    // Closed by the user: the keyboard goes back to the box or window below, also where no
    // window manager gives it back.
    if (owner && !state.shutDown) {
        owner->activateWindow();
    }
}

void QtWarningSink::Raise() {
    if (!m_state->open.empty()) {
        m_state->open.back()->raise();
        m_state->open.back()->activateWindow();
    }
}

void QtWarningSink::Shutdown() {
    m_state->shutDown = true;
    const std::vector<QMessageBox*> open = m_state->open;
    for (QMessageBox* box : open) {
        box->done(QMessageBox::Ok);
    }
}
