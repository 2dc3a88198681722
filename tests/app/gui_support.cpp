#include "app/gui_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "platform/dialog/dialog_units.h"

namespace {

// The application for every test of the program, offscreen, with fixed base units so that
// layouts come out in numbers worked out by hand.
class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "window_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
        platform::OverrideBaseUnits(platform::BaseUnits{6, 13});
    }
    void TearDown() override { delete m_app; }

private:
    QApplication* m_app = nullptr;
};

const testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QWidget* FindVisibleWindow(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == title) {
            return widget;
        }
    }
    return nullptr;
}

bool WhileRunning(const std::function<void()>& action, const std::function<void()>& whileRunning) {
    bool ran = false;
    bool actionReturned = false;
    // A timer of this frame: destroyed on return, it cannot fire later.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!actionReturned) {
            ran = true;
            whileRunning();
        }
    });
    timer.start(0);
    action();
    actionReturned = true;
    return ran;
}

void ProcessEventsUntil(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

BoxWatcher::BoxWatcher(std::function<void(QMessageBox*)> act) : m_act(std::move(act)) {
    qApp->installEventFilter(this);
}

BoxWatcher::~BoxWatcher() {
    qApp->removeEventFilter(this);
}

bool BoxWatcher::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (box && event->type() == QEvent::Show) {
        ++m_seen;
        if (m_act) {
            QTimer::singleShot(0, box, [this, box] { m_act(box); });
        }
    }
    return false;
}
