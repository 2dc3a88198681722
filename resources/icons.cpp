#include "resources/icons.h"

#include <QIcon>

#include "resources/resource.h"

HICON LoadIconResource(int id) {
    if (id != IDI_MAIN) {
        return nullptr;
    }
    // Built on first use: a QIcon needs the application object.
    static const QIcon icon = [] {
        QIcon built;
        built.addFile(QStringLiteral(":/vexlarin/vexlarin-32.png"), QSize(32, 32));
        built.addFile(QStringLiteral(":/vexlarin/vexlarin-16.png"), QSize(16, 16));
        return built;
    }();
    return icon.isNull() ? nullptr : &icon;
}
