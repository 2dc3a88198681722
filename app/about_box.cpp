#include "app/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "app/dialog_units.h"
#include "resources/icons.h"
#include "resources/templates.h"

CAboutBox::CAboutBox(QWidget* window) : QDialog(window) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(kAboutTemplate.caption);
    setFont(QFont(kAboutTemplate.fontName, kAboutTemplate.fontPoints));
    const BaseUnits base = BaseUnitsOf(font());
    setFixedSize(DialogUnitsToPixels(0, 0, kAboutTemplate.cx, kAboutTemplate.cy, base).size());

    const auto& t = kAboutTemplate.controls;
    auto* name = new QLabel(this);
    name->setTextFormat(Qt::PlainText);
    Place(*name, t[0], base);
    auto* ok = new QPushButton(this);
    Place(*ok, t[1], base);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // The icon at its own size, whatever the template says.
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    const QPoint at = DialogUnitsToPixels(t[2].x, t[2].y, 0, 0, base).topLeft();
    icon->setGeometry(QRect(at, QSize(32, 32)));
    for (std::size_t i = 3; i < t.size(); ++i) {
        auto* notice = new QLabel(this);
        notice->setWordWrap(true);
        notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        Place(*notice, t[i], base);
    }
    ok->setFocus();
}
