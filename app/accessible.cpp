#include "app/accessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

#include "app/three_state_box.h"

namespace {

class SelectorAccessible : public QAccessibleWidget {
public:
    explicit SelectorAccessible(QCheckBox* box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Box()->checkState() == Qt::Checked;
        state.checkStateMixed = Box()->checkState() == Qt::PartiallyChecked;
        return state;
    }
    QStringList actionNames() const override {
        return QStringList(toggleAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == toggleAction()) {
            Box()->click();  // as a click or Space: the next state, and the selector's handler
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    QCheckBox* Box() const { return static_cast<QCheckBox*>(widget()); }
};

class ComboAccessible : public QAccessibleWidget {
public:
    explicit ComboAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    // Named as the program named it; only an unnamed one by what it shows, as Qt names them all.
    QString text(QAccessible::Text t) const override {
        const QString text = t == QAccessible::Value ? QString() : QAccessibleWidget::text(t);
        return text.isEmpty() && (t == QAccessible::Name || t == QAccessible::Value)
                   ? Combo()->currentText()
                   : text;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Combo()->view()->isVisible();
        return state;
    }
    // The list it opens, through which a screen reader picks an entry.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(Combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == Combo()->view() ? 0 : -1;
    }
    QStringList actionNames() const override {
        return {showMenuAction(), pressAction(), setFocusAction()};
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            Combo()->view()->isVisible() ? Combo()->hidePopup() : Combo()->showPopup();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

class ReadOnlyLineAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReadOnlyLineAccessible(QLineEdit* line)
        : QAccessibleWidget(line, QAccessible::EditableText) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? Line()->text() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = Line()->isReadOnly();
        state.editable = !state.readOnly;
        state.selectableText = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }

    // The text, read by a screen reader: selection, cursor, characters.
    void selection(int index, int* start, int* end) const override {
        const bool selected = index == 0 && Line()->hasSelectedText();
        *start = selected ? Line()->selectionStart() : 0;
        *end = selected ? Line()->selectionEnd() : 0;
    }
    int selectionCount() const override { return Line()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Line()->deselect(); }
    void setSelection(int, int start, int end) override {
        Line()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return Line()->cursorPosition(); }
    void setCursorPosition(int position) override { Line()->setCursorPosition(position); }
    QString text(int start, int end) const override {
        return Line()->text().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(Line()->text().size()); }
    QRect characterRect(int offset) const override {
        // Measured from the cursor, which the line keeps in view.
        const QString text = Line()->text();
        if (offset < 0 || offset >= text.size()) {
            return {};
        }
        const QFontMetrics metrics = Line()->fontMetrics();
        const QRect cursor = Line()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int x = cursor.x() - metrics.horizontalAdvance(text.left(Line()->cursorPosition())) +
                      metrics.horizontalAdvance(text.left(offset));
        const QRect character(x, cursor.y(), metrics.horizontalAdvance(text.at(offset)),
                              cursor.height());
        return character.translated(Line()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Line()->cursorPositionAt(Line()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override {
        Line()->setCursorPosition(end);
        Line()->setCursorPosition(start);
    }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    QLineEdit* Line() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* Interface(const QString& className, QObject* object) {
    if (className == QLatin1String("QCheckBox")) {
        if (auto* box = dynamic_cast<ThreeStateCheckBox*>(object)) {
            return new SelectorAccessible(box);
        }
    } else if (className == QLatin1String("QComboBox")) {
        return new ComboAccessible(static_cast<QComboBox*>(object));
    } else if (className == QLatin1String("QLineEdit")) {
        // Read-only from the start: Qt asks for a control's interface at its first change and
        // keeps the one it got.
        auto* line = static_cast<QLineEdit*>(object);
        if (line->isReadOnly()) {
            return new ReadOnlyLineAccessible(line);
        }
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(Interface);
        return true;
    }();
    (void)installed;
}
