// Warnings and calls from other threads: every box on the GUI thread with the raising thread
// waiting, and a close that never waits on a thread waiting on the GUI. Also the start-up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/gui_support.h"
#include "app/vexlarin_app.h"
#include "platform/dialog/gui_call.h"
#include "resources/resource.h"
#include "support/pty_pair.h"

namespace {

// Calls `act` (from the event loop, once the box is up) for each warning box that shows.
class OnEachBox : public QObject {
public:
    explicit OnEachBox(std::function<void(QMessageBox*)> act) : m_act(std::move(act)) {
        qApp->installEventFilter(this);
    }
    ~OnEachBox() override { qApp->removeEventFilter(this); }
    int Seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                ++m_seen;
                QTimer::singleShot(0, box, [this, box] { m_act(box); });
            }
        }
        return false;
    }

private:
    std::function<void(QMessageBox*)> m_act;
    int m_seen = 0;
};

// Wakes the GUI thread's event wait, so that it looks at what another thread changed.
void WakeGui() {
    QMetaObject::invokeMethod(
        qApp, [] {}, Qt::QueuedConnection);
}

bool AnyBoxVisible() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) && widget->isVisible()) {
            return true;
        }
    }
    return false;
}

class Threads : public testing::Test {
protected:
    void SetUp() override { platform::AcceptGuiCalls(); }
    void TearDown() override {
        platform::AcceptGuiCalls();
        QApplication::processEvents();
    }
    AllPortsMissing ports;
};

TEST_F(Threads, WarningBoxHasTitleErrorIconOneOkAndNoOwner) {
    platform::QtWarningSink sink;
    OnEachBox closer([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Application Error");
        EXPECT_EQ(box->text(), "WARNING:  ReadFile() Failed with the following error: \nEIO\n");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    sink.ShowWarning("Application Error",
                     "WARNING:  ReadFile() Failed with the following error: \nEIO\n");
    EXPECT_EQ(closer.Seen(), 1);
    QApplication::processEvents();
    EXPECT_FALSE(AnyBoxVisible());
}

TEST_F(Threads, RaisingThreadWaitsUntilTheBoxIsClosed) {
    platform::QtWarningSink sink;
    std::atomic<bool> returned{false};
    std::atomic<bool> guiThreadRanBox{false};
    bool handled = false;
    const std::thread::id gui = std::this_thread::get_id();
    OnEachBox closer([&](QMessageBox* box) {
        guiThreadRanBox = std::this_thread::get_id() == gui;
        // The raiser is still inside ShowWarning while its box is open.
        EXPECT_FALSE(returned.load());
        box->button(QMessageBox::Ok)->click();
        handled = true;
    });
    std::thread raiser([&] {
        sink.ShowWarning("Application Error", "first");
        returned = true;
        WakeGui();
    });
    ProcessEventsUntil([&] { return handled && returned.load(); });
    raiser.join();
    EXPECT_TRUE(guiThreadRanBox.load());
    EXPECT_EQ(closer.Seen(), 1);
}

TEST_F(Threads, AfterShutdownWarningsReturnAtOnce) {
    platform::QtWarningSink sink;
    sink.Shutdown();
    OnEachBox never([](QMessageBox*) { ADD_FAILURE() << "a box opened after shutdown"; });
    sink.ShowWarning("Application Error", "late\n");  // GUI thread: would block if shown
    std::thread raiser([&] { sink.ShowWarning("Application Error", "late from a thread\n"); });
    raiser.join();  // returns without the GUI thread turning its loop
    QApplication::processEvents();
    EXPECT_EQ(never.Seen(), 0);
}

TEST_F(Threads, GuiCallsRunOnTheGuiThreadUntilRefused) {
    const std::thread::id gui = std::this_thread::get_id();
    std::thread::id ranOn;
    EXPECT_TRUE(platform::RunOnGuiThread([&] { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(ranOn, gui);

    std::atomic<int> result{-1};
    std::thread caller([&] {
        result = platform::RunOnGuiThread([&] { ranOn = std::this_thread::get_id(); }) ? 1 : 0;
        WakeGui();
    });
    ranOn = {};
    ProcessEventsUntil([&] { return result.load() != -1; });
    caller.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(ranOn, gui);

    platform::RefuseGuiCalls();
    bool ran = false;
    std::thread refused([&] { result = platform::RunOnGuiThread([&] { ran = true; }) ? 1 : 0; });
    refused.join();  // no event loop turns meanwhile: a refused call must not wait for one
    QApplication::processEvents();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran);
}

TEST_F(Threads, CloseReleasesACommandThreadWaitingOnABoxAndJoinsIt) {
    OpenDlg dlg;
    ASSERT_TRUE(dlg.Create());
    std::atomic<int> guiCalls{0};
    std::atomic<bool> refused{false};
    OnEachBox escape([&](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Application Error");
        // The user closes the main window while the listing's box is open.
        QTest::keyClick(dlg.Window(), Qt::Key_Escape);
    });
    dlg.m_commandThread = std::thread([&] {
        dlg.m_link.ReportError("WriteFile()", "The camera went away.");
        // What a listing does next: hand its results to the window until it is refused.
        while (platform::RunOnGuiThread([&] { ++guiCalls; })) {
        }
        refused = true;
    });
    ProcessEventsUntil([&] { return dlg.IsEnded(); });
    // The close path joined the thread: nothing is left running, and it was let go.
    EXPECT_FALSE(dlg.m_commandThread.joinable());
    EXPECT_TRUE(refused.load());
    EXPECT_TRUE(dlg.m_link.IsCancelled());
    EXPECT_TRUE(dlg.m_warningSink.IsShutDown());
    QApplication::processEvents();
    EXPECT_FALSE(AnyBoxVisible());
    const int callsAtClose = guiCalls.load();
    QApplication::processEvents();
    EXPECT_EQ(guiCalls.load(), callsAtClose);
}

TEST_F(Threads, CloseFromInsideABoxOnTheGuiThreadEndsTheBoxAndTheDialog) {
    OpenDlg dlg;
    ASSERT_TRUE(dlg.Create());
    OnEachBox escape([&](QMessageBox*) { dlg.Window()->close(); });
    // As OpenPort's configuration warning does, from a selector's handler.
    dlg.m_link.ReportError("SetCommState()", "Invalid argument");
    EXPECT_EQ(escape.Seen(), 1);
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
    QApplication::processEvents();
    EXPECT_FALSE(AnyBoxVisible());
}

TEST_F(Threads, StartUpRunsTheDialogAndReturnsFalseWhenItCloses) {
    CVexlarinApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    QString title;
    bool listHadFocus = false;
    int status = -1;
    const bool ran = WhileRunning([&] { status = AfxWinMain(); },
                                  [&] {
                                      ASSERT_NE(app.m_pMainWnd, nullptr);
                                      QWidget* window = app.m_pMainWnd->Window();
                                      title = window->windowTitle();
                                      listHadFocus =
                                          window->focusWidget() == app.m_pMainWnd->GetDlgItem(IDOK);
                                      QTest::keyClick(window, Qt::Key_Escape);
                                  });
    EXPECT_TRUE(ran);
    EXPECT_EQ(title, "Vexlarin");
    EXPECT_TRUE(listHadFocus);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

}  // namespace
