#include "app/gui_call.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// One lock and one condition for every call: calls are few, and a refusal must wake them all.
std::mutex g_lock;
std::condition_variable g_changed;
bool g_refused = false;

struct Call {
    std::function<void()> fn;
    bool begun = false;
    bool done = false;
    bool abandoned = false;  // its waiter has gone: what `fn` refers to may be gone too
};

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
    auto call = std::make_shared<Call>(Call{std::move(fn)});
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_refused) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        app,
        [call] {
            {
                std::lock_guard<std::mutex> guard(g_lock);
                if (call->abandoned) {
                    return;
                }
                call->begun = true;
            }
            call->fn();
            {
                std::lock_guard<std::mutex> guard(g_lock);
                call->done = true;
            }
            g_changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(g_lock);
    g_changed.wait(lock, [&] { return call->done || g_refused; });
    call->abandoned = !call->begun;
    return call->begun;
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
