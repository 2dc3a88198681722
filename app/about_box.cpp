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

    // In template order, which is the order of the Tab key. The first text is the name and
    // version, on one line; the notice's lines and paragraphs after it wrap in their places.
    bool nameShown = false;
    for (const ControlTemplate& entry : kAboutTemplate.controls) {
        if (entry.id == IDOK) {
            auto* ok = new QPushButton(this);
            Place(*ok, entry, base);
            ok->setDefault(true);
            connect(ok, &QPushButton::clicked, this, &QDialog::accept);
            ok->setFocus();
        } else if (*entry.text == '\0') {
            // The program's icon, at its own size, whatever the template says.
            auto* icon = new QLabel(this);
            icon->setPixmap(ProgramIcon().pixmap(32, 32));
            const QPoint at = DialogUnitsToPixels(entry.x, entry.y, 0, 0, base).topLeft();
            icon->setGeometry(QRect(at, QSize(32, 32)));
        } else {
            auto* text = new QLabel(this);
            text->setTextFormat(Qt::PlainText);
            if (nameShown) {
                text->setWordWrap(true);
                text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            }
            nameShown = true;
            Place(*text, entry, base);
        }
    }
}
