// The vexlarin program: the Qt application, then the application object's start-up.
#include <QApplication>

#include "app/vexlarin_app.h"
#include "resources/icons.h"
#include "resources/resource.h"
#include "resources/version_info.h"

// The one application object, there before main() runs.
CVexlarinApp theApp;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.1"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(version_info::kInternalName));
    QApplication::setDesktopFileName(QStringLiteral("vexlarin"));
    return AfxWinMain();
}
