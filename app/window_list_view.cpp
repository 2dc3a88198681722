#include "app/window_list_view.h"

#include "app/gui_call.h"

WindowListView::WindowListView(QWidget& window, QLineEdit& page, QLineEdit& status,
                               QListWidget& lines, QPushButton& listButton, std::string pageAtPress)
    : m_window(window),
      m_page(page),
      m_status(status),
      m_lines(lines),
      m_listButton(listButton),
      m_pageAtPress(std::move(pageAtPress)) {}

std::string WindowListView::PageFieldText() {
    std::string text;
    if (!RunOnGuiThread([&] { text = m_page.text().toStdString(); })) {
        // Closing: the command is cancelled anyway, and an empty text would raise a warning
        // about a page the user never typed.
        return m_pageAtPress;
    }
    return text;
}

void WindowListView::SetStatus(const std::string& text) {
    RunOnGuiThread([&] {
        m_status.setText(QString::fromStdString(text));
        m_status.setCursorPosition(0);  // a long text shows its start
        // Painted now, not at the loop's leisure: the text must be up before its line is read.
        m_window.repaint();
    });
}

void WindowListView::ResetLines() {
    RunOnGuiThread([&] { m_lines.clear(); });
}

void WindowListView::AddLine(const std::string& text) {
    RunOnGuiThread([&] { m_lines.addItem(QString::fromStdString(text)); });
}

void WindowListView::EnableListButton(bool enable) {
    RunOnGuiThread([&] { m_listButton.setEnabled(enable); });
}
