#include "app/window_list_view.h"

#include <QWidget>
#include <utility>

#include "platform/dialog/gui_call.h"
#include "resources/resource.h"

WindowListView::WindowListView(CDialog& dialog, CEdit& status, CListBox& lines, CButton& listButton,
                               std::string pageAtPress)
    : m_dialog(dialog),
      m_status(status),
      m_lines(lines),
      m_listButton(listButton),
      m_pageAtPress(std::move(pageAtPress)) {}

std::string WindowListView::PageFieldText() {
    std::string text;
    if (!platform::RunOnGuiThread([&] { text = m_dialog.GetDlgItemText(IDC_PAGE); })) {
        // Closing: the command is cancelled anyway, and an empty text would raise a warning
        // about a page the user never typed.
        return m_pageAtPress;
    }
    return text;
}

void WindowListView::SetStatus(const std::string& text) {
    platform::RunOnGuiThread([&] {
        m_status.SetWindowText(text);
        // Painted now, not at the loop's leisure: the text must be up before its line is read.
        if (QWidget* window = m_dialog.Window()) {
            window->repaint();
        }
    });
}

void WindowListView::ResetLines() {
    platform::RunOnGuiThread([&] { m_lines.ResetContent(); });
}

void WindowListView::AddLine(const std::string& text) {
    platform::RunOnGuiThread([&] { m_lines.AddString(text); });
}

void WindowListView::EnableListButton(bool enable) {
    platform::RunOnGuiThread([&] { m_listButton.EnableWindow(enable); });
}
