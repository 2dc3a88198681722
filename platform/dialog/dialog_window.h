// The Qt window of a CDialog: renders the template's controls at their pixel positions and
// turns Qt's events into the dialog's messages. QDialog's own default-button, accept and
// reject handling is kept out: only the cancel command ends a dialog.
#pragma once

#include <QDialog>
#include <cstddef>
#include <utility>
#include <vector>

#include "platform/dialog/dialog_template.h"
#include "platform/dialog/dialog_units.h"

class CDialog;
class QMenu;

namespace platform {

class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog& owner, QWidget* parent);

    // Creates the template's controls in template order (which is also the tab order).
    void Build(const DialogTemplate& dialogTemplate, BaseUnits base);

    QWidget* ById(int id) const;
    QWidget* ByIndex(std::size_t index) const;
    // The id of the default push button (IDOK when the template has none).
    int DefaultId() const { return m_defaultId; }

    void PopupSystemMenu(bool atPointer);
    QMenu* SystemMenuPopup() const { return m_menu; }

    void accept() override {}
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QWidget* CreateControl(const ControlTemplate& control, const DialogTemplate& dialogTemplate,
                           BaseUnits base);
    void EnterPressed();

    CDialog& m_owner;
    std::vector<std::pair<int, QWidget*>> m_controls;  // id and widget, in template order
    int m_defaultId;
    QMenu* m_menu = nullptr;
};

}  // namespace platform
