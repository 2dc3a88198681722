// The vexlarin program: the Qt application, then the application object's start-up.
#include <QApplication>

#include "app/vexlarin_app.h"
#include "platform/standard_streams.h"
#include "resources/version_info.h"

// The one application object, there before main() runs.
CVexlarinApp theApp;

int main(int argc, char* argv[]) {
    platform::OpenStandardDescriptors();
    QApplication application(argc, argv);
    const auto& v = version_info::kFileVersion;
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]));
    QApplication::setApplicationDisplayName(QString::fromUtf8(version_info::kInternalName));
    // Ties the window to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("vexlarin"));
    return AfxWinMain();
}
