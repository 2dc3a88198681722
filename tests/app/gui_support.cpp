#include "app/gui_support.h"

#include <gtest/gtest.h>

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

void Click(QWidget& window, QPoint at, Qt::MouseButton button) {
    QTest::mouseClick(window.windowHandle(), button, Qt::NoModifier, at);
}

void Key(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(window.windowHandle(), key, modifiers);
}

void Activate(QWidget& window) {
    window.activateWindow();
    ProcessEventsUntil([&] { return window.isActiveWindow(); });
}

void TypePage(QWidget& window, const char* text) {
    Click(window, kPage.center());
    QTest::keyClick(window.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window.windowHandle(), Qt::Key_Backspace);
    for (const char* c = text; *c; ++c) {
        QTest::keyClick(window.windowHandle(), *c);
    }
}

void ProcessEventsUntil(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void ClickOk(QMessageBox* box) {
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    Click(*box, ok->mapTo(box, ok->rect().center()));
}
