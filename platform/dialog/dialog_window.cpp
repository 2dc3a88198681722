#include "platform/dialog/dialog_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "platform/dialog/dialog.h"
#include "platform/dialog/three_state_box.h"

namespace platform {

DialogWindow::DialogWindow(CDialog& owner, QWidget* parent)
    : QDialog(parent), m_owner(owner), m_defaultId(IDOK) {
    // Caption, window menu and close box; no minimise, maximise or help box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    // The window manager keeps Alt+Space for its own menu where it can; the others always
    // reach the dialog.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::ALT | Qt::Key_Space), QKeySequence(Qt::Key_Menu),
          QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this] { PopupSystemMenu(false); });
    }
}

void DialogWindow::Build(const DialogTemplate& dialogTemplate, BaseUnits base) {
    setWindowTitle(QString::fromStdString(dialogTemplate.caption));
    setFont(QFont(QString::fromStdString(dialogTemplate.fontName), dialogTemplate.fontPoints));
    const PixelRect client = DialogUnitsToPixels(0, 0, dialogTemplate.cx, dialogTemplate.cy, base);
    setFixedSize(client.width, client.height);
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = CreateControl(control, dialogTemplate, base);
        m_controls.emplace_back(control.id, widget);
        if (control.cls == ControlClass::Button &&
            (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            m_defaultId = control.id;
        }
    }
}

QWidget* DialogWindow::CreateControl(const ControlTemplate& control,
                                     const DialogTemplate& dialogTemplate, BaseUnits base) {
    const QString text = QString::fromStdString(control.text);
    const bool tabStop = (control.style & WS_TABSTOP) != 0;
    QWidget* widget = nullptr;
    switch (control.cls) {
        case ControlClass::Button: {
            const std::uint32_t type = control.style & BS_TYPEMASK;
            if (type == BS_GROUPBOX) {
                widget = new QGroupBox(text, this);
                widget->setFocusPolicy(Qt::NoFocus);
                break;
            }
            QAbstractButton* button = nullptr;
            if (type == BS_AUTO3STATE) {
                auto* box = new ThreeStateCheckBox(text, this);
                box->setTristate(true);
                button = box;
            } else {
                auto* push = new QPushButton(text, this);
                // Enter is the dialog's business (EnterPressed), never the button's own.
                push->setAutoDefault(false);
                push->setDefault(type == BS_DEFPUSHBUTTON);
                button = push;
            }
            if (control.id != kNoId) {
                const int id = control.id;
                connect(button, &QAbstractButton::clicked, this,
                        [this, id] { m_owner.SendCommand(id); });
            }
            button->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            widget = button;
            break;
        }
        case ControlClass::ListBox: {
            auto* list = new QListWidget(this);
            list->setVerticalScrollBarPolicy((control.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded
                                                                          : Qt::ScrollBarAlwaysOff);
            list->setHorizontalScrollBarPolicy(
                (control.style & WS_HSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            if (!(control.style & WS_BORDER)) {
                list->setFrameShape(QFrame::NoFrame);
            }
            list->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            widget = list;
            break;
        }
        case ControlClass::Edit: {
            auto* edit = new QLineEdit(text, this);
            edit->setReadOnly((control.style & ES_READONLY) != 0);
            edit->setFrame((control.style & WS_BORDER) != 0);
            edit->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            widget = edit;
            break;
        }
        case ControlClass::Static: {
            auto* label = new QLabel(this);
            if ((control.style & SS_TYPEMASK) == SS_ICON) {
                HICON icon = dialogTemplate.loadIcon
                                 ? dialogTemplate.loadIcon(std::stoi(control.text))
                                 : nullptr;
                const int size = GetSystemMetrics(SM_CXICON);
                if (icon) {
                    label->setPixmap(icon->pixmap(size, size));
                }
                // An icon static takes the icon's size, whatever the template says.
                const PixelRect at = DialogUnitsToPixels(control.x, control.y, 0, 0, base);
                label->setGeometry(at.x, at.y, size, size);
                return label;
            }
            label->setText(text);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            label->setFocusPolicy(Qt::NoFocus);
            widget = label;
            break;
        }
    }
    const PixelRect at = DialogUnitsToPixels(control.x, control.y, control.cx, control.cy, base);
    widget->setGeometry(at.x, at.y, at.width, at.height);
    return widget;
}

QWidget* DialogWindow::ById(int id) const {
    if (id == kNoId) {
        return nullptr;
    }
    for (const auto& [controlId, widget] : m_controls) {
        if (controlId == id) {
            return widget;
        }
    }
    return nullptr;
}

QWidget* DialogWindow::ByIndex(std::size_t index) const {
    return index < m_controls.size() ? m_controls[index].second : nullptr;
}

void DialogWindow::reject() {
    m_owner.SendCommand(IDCANCEL);
}

void DialogWindow::EnterPressed() {
    // A focused push button takes Enter for itself; anywhere else it is the default button's.
    int id = m_defaultId;
    if (auto* push = qobject_cast<QPushButton*>(focusWidget())) {
        for (const auto& [controlId, widget] : m_controls) {
            if (widget == push && controlId != kNoId) {
                id = controlId;
            }
        }
    }
    // A disabled default button makes Enter do nothing, as a click on it would.
    if (QWidget* button = ById(id); button && !button->isEnabled()) {
        return;
    }
    m_owner.SendCommand(id);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Escape:
                m_owner.SendCommand(IDCANCEL);
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                EnterPressed();
                return;
            default:
                break;
        }
    }
    // Not QDialog's handler: it would accept on Enter and reject on Escape by itself.
    QWidget::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 are the window menu's Close; the dialog decides whether to end.
    event->ignore();
    m_owner.SendMessage(Message::SysCommand, SC_CLOSE);
}

void DialogWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    m_owner.SendMessage(Message::Paint);
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        // Only the background and the labels on it; controls keep their own menus.
        QWidget* child = childAt(event->pos());
        if (child && !qobject_cast<QLabel*>(child) && !qobject_cast<QGroupBox*>(child)) {
            event->ignore();
            return;
        }
    }
    PopupSystemMenu(event->reason() == QContextMenuEvent::Mouse);
}

void DialogWindow::PopupSystemMenu(bool atPointer) {
    CMenu* systemMenu = m_owner.GetSystemMenu(false);
    if (!systemMenu) {
        return;
    }
    if (!m_menu) {
        m_menu = new QMenu(this);
    }
    m_menu->clear();
    for (const CMenu::Item& item : systemMenu->Items()) {
        if (item.flags & MF_SEPARATOR) {
            m_menu->addSeparator();
            continue;
        }
        const std::uint32_t id = item.id;
        m_menu->addAction(QString::fromStdString(item.text), this,
                          [this, id] { m_owner.SendMessage(Message::SysCommand, id); });
    }
    m_menu->popup(atPointer ? QCursor::pos() : mapToGlobal(QPoint(0, 0)));
}

}  // namespace platform
