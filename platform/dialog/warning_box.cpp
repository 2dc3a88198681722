#include "platform/dialog/warning_box.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>

namespace platform {

struct QtWarningSink::State {
    std::mutex lock;
    std::condition_variable boxClosed;
    bool shutDown = false;
    std::set<QMessageBox*> open;  // GUI thread only

    bool IsShutDown() {
        std::lock_guard<std::mutex> guard(lock);
        return shutDown;
    }
};

namespace {

void WriteToTerminal(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s", title.c_str(), text.c_str());
}

// Shows one box on the GUI thread and returns when it is closed or dismissed.
void RunBox(QtWarningSink::State& state, const std::string& title, const std::string& text) {
    if (state.IsShutDown()) {
        WriteToTerminal(title, text);
        return;
    }
    // No owner: the main window stays usable while the box is open.
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Critical, QString::fromStdString(title),
                        QString::fromStdString(text), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    state.open.insert(box.data());
    QEventLoop loop;
    QObject::connect(box.data(), &QMessageBox::finished, &loop, &QEventLoop::quit);
    box->show();
    loop.exec();
    state.open.erase(box.data());
    if (box) {
        box->close();
    }
}

}  // namespace

QtWarningSink::QtWarningSink() : m_state(std::make_shared<State>()) {}

QtWarningSink::~QtWarningSink() {
    Shutdown();
}

bool QtWarningSink::IsShutDown() const {
    return m_state->IsShutDown();
}

void QtWarningSink::ShowWarning(const std::string& title, const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (IsShutDown() || !app) {
        // No window to show it in any more; the text still reaches the user.
        WriteToTerminal(title, text);
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        RunBox(*m_state, title, text);
        return;
    }
    struct Posted {
        std::string title;
        std::string text;
        bool done = false;
    };
    auto posted = std::make_shared<Posted>(Posted{title, text, false});
    std::shared_ptr<State> state = m_state;
    QMetaObject::invokeMethod(
        app,
        [state, posted] {
            RunBox(*state, posted->title, posted->text);
            {
                std::lock_guard<std::mutex> guard(state->lock);
                posted->done = true;
            }
            state->boxClosed.notify_all();
        },
        Qt::QueuedConnection);
    // Shutdown ends this wait even while the box is still unwinding on the GUI thread: nothing
    // of this thread is left for it to reach.
    std::unique_lock<std::mutex> lock(state->lock);
    state->boxClosed.wait(lock, [&] { return posted->done || state->shutDown; });
}

void QtWarningSink::Shutdown() {
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        m_state->shutDown = true;
    }
    m_state->boxClosed.notify_all();
    const std::set<QMessageBox*> open = m_state->open;
    for (QMessageBox* box : open) {
        box->done(QMessageBox::Ok);
    }
}

}  // namespace platform
