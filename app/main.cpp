// The vexlarin program: the main window, until it is closed.
#include <QApplication>

#include "app/vexlarin_dlg.h"
#include "platform/process.h"
#include "resources/icons.h"

int main(int argc, char* argv[]) {
    platform::OpenStandardDescriptors();
    QApplication application(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    // Ties the window to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("vexlarin"));
    CVexlarinDlg dlg;
    QObject::connect(&dlg, &QDialog::finished, &application, &QApplication::quit);
    dlg.show();
    return application.exec();
}
