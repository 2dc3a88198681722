#include "platform/dialog/controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

void CWnd::EnableWindow(bool enable) {
    if (m_widget) {
        m_widget->setEnabled(enable);
    }
}

bool CWnd::IsWindowEnabled() const {
    return m_widget && m_widget->isEnabled();
}

void CWnd::SetWindowText(const std::string& text) {
    const QString qtext = QString::fromStdString(text);
    if (auto* button = qobject_cast<QAbstractButton*>(m_widget)) {
        button->setText(qtext);
    } else if (auto* edit = qobject_cast<QLineEdit*>(m_widget)) {
        edit->setText(qtext);
        edit->setCursorPosition(0);  // a long text shows its start, as a read-only line should
    } else if (auto* label = qobject_cast<QLabel*>(m_widget)) {
        label->setText(qtext);
    } else if (auto* group = qobject_cast<QGroupBox*>(m_widget)) {
        group->setTitle(qtext);
    }
}

std::string CWnd::GetWindowText() const {
    if (auto* button = qobject_cast<QAbstractButton*>(m_widget)) {
        return button->text().toStdString();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(m_widget)) {
        return edit->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(m_widget)) {
        return label->text().toStdString();
    }
    if (auto* group = qobject_cast<QGroupBox*>(m_widget)) {
        return group->title().toStdString();
    }
    return {};
}

void CWnd::SetToolTip(const std::string& text) {
    if (m_widget) {
        m_widget->setToolTip(QString::fromStdString(text));
    }
}

void CButton::SetCheck(int state) {
    auto* box = qobject_cast<QCheckBox*>(Widget());
    if (!box) {
        return;
    }
    switch (state) {
        case BST_CHECKED:
            box->setCheckState(Qt::Checked);
            break;
        case BST_INDETERMINATE:
            box->setCheckState(Qt::PartiallyChecked);
            break;
        default:
            box->setCheckState(Qt::Unchecked);
            break;
    }
}

int CButton::GetCheck() const {
    auto* box = qobject_cast<QCheckBox*>(Widget());
    if (!box) {
        return BST_UNCHECKED;
    }
    switch (box->checkState()) {
        case Qt::Checked:
            return BST_CHECKED;
        case Qt::PartiallyChecked:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
    }
}

void CListBox::ResetContent() {
    if (auto* list = qobject_cast<QListWidget*>(Widget())) {
        list->clear();
    }
}

int CListBox::AddString(const std::string& text) {
    auto* list = qobject_cast<QListWidget*>(Widget());
    if (!list) {
        return -1;
    }
    list->addItem(QString::fromStdString(text));
    return list->count() - 1;
}

int CListBox::GetCount() const {
    auto* list = qobject_cast<QListWidget*>(Widget());
    return list ? list->count() : 0;
}

std::string CListBox::GetText(int index) const {
    auto* list = qobject_cast<QListWidget*>(Widget());
    if (!list || index < 0 || index >= list->count()) {
        return {};
    }
    return list->item(index)->text().toStdString();
}
