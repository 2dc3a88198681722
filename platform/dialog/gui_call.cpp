#include "platform/dialog/gui_call.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform {

namespace {

enum class CallState { Pending, Running, Done, Abandoned };

// One lock and one condition for every call: calls are few, and a refusal must wake them all.
std::mutex g_lock;
std::condition_variable g_changed;
bool g_refused = false;

}  // namespace

bool RunOnGuiThread(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return false;
    }
    if (QThread::currentThread() == app->thread()) {
        fn();
        return true;
    }
    auto state = std::make_shared<CallState>(CallState::Pending);
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_refused) {
            return false;
        }
    }
    // `fn` lives in the posted call, not on this thread's stack, so an abandoned call that the
    // GUI thread meets later has nothing dangling to reach.
    QMetaObject::invokeMethod(
        app,
        [state, fn = std::move(fn)] {
            {
                std::lock_guard<std::mutex> guard(g_lock);
                if (*state != CallState::Pending) {
                    return;
                }
                *state = CallState::Running;
            }
            fn();
            {
                std::lock_guard<std::mutex> guard(g_lock);
                *state = CallState::Done;
            }
            g_changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(g_lock);
    g_changed.wait(lock, [&] {
        return *state == CallState::Done || (g_refused && *state == CallState::Pending);
    });
    if (*state == CallState::Done) {
        return true;
    }
    *state = CallState::Abandoned;
    return false;
}

void RefuseGuiCalls() {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_refused = true;
    }
    g_changed.notify_all();
}

void AcceptGuiCalls() {
    std::lock_guard<std::mutex> guard(g_lock);
    g_refused = false;
}

}  // namespace platform
