// The List command's view of the window, used from the command thread: every call is carried
// out on the GUI thread and returns once the window shows it, or at once when the window is
// closing.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>

#include "listing/list_view.h"

class WindowListView : public IListView {
public:
    // `pageAtPress` is the page field as it was when the command began: what the command
    // reads when the window closes before it got to the field.
    WindowListView(QWidget& window, QLineEdit& page, QLineEdit& status, QListWidget& lines,
                   QPushButton& listButton, std::string pageAtPress);

    std::string PageFieldText() override;
    void SetStatus(const std::string& text) override;
    void ResetLines() override;
    void AddLine(const std::string& text) override;
    void EnableListButton(bool enable) override;

private:
    QWidget& m_window;
    QLineEdit& m_page;
    QLineEdit& m_status;
    QListWidget& m_lines;
    QPushButton& m_listButton;
    std::string m_pageAtPress;
};
