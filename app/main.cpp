// The vexlarin program: the main window, until it is closed or told to stop.
#include <QApplication>
#include <QMetaObject>
#include <thread>

#include "app/vexlarin_dlg.h"
#include "platform/process.h"
#include "platform/stop_signals.h"
#include "resources/icons.h"

int main(int argc, char* argv[]) {
    platform::OpenStandardDescriptors();
    // Before Qt starts a thread: each inherits the signals held back, so that they all come to
    // the taker below.
    platform::StopSignals stopSignals;
    QApplication application(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    // Ties the window to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("vexlarin"));
    CVexlarinDlg dlg;
    QObject::connect(&dlg, &QDialog::finished, &application, &QApplication::quit);
    // SIGTERM, SIGHUP or Ctrl+C close the window as its close box does: the listing stops, the
    // port is put back and what was written stays. A second one ends the program at once.
    std::thread stopTaker([&stopSignals, &dlg] {
        stopSignals.TakeNext([&dlg](int) {
            QMetaObject::invokeMethod(&dlg, &QDialog::reject, Qt::QueuedConnection);
        });
    });
    dlg.show();
    const int status = application.exec();
    stopSignals.Wake();
    stopTaker.join();
    const int signal = stopSignals.Received();
    return signal != 0 ? 128 + signal : status;
}
