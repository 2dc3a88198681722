#include "resources/icons.h"

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/vexlarin/vexlarin-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/vexlarin/vexlarin-16.png"), QSize(16, 16));
    return icon;
}
