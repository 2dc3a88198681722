// The List command's view of the main window, used from the command thread: every call is
// carried out on the GUI thread and returns once the window shows it, or at once when the
// window is closing.
#pragma once

#include <string>

#include "listing/list_view.h"
#include "platform/dialog/dialog.h"

class WindowListView : public IListView {
public:
    // `pageAtPress` is the page field as it was when "List" was pressed: what the command
    // reads when the window closes before it got to the field.
    WindowListView(CDialog& dialog, CEdit& status, CListBox& lines, CButton& listButton,
                   std::string pageAtPress);

    std::string PageFieldText() override;
    void SetStatus(const std::string& text) override;
    void ResetLines() override;
    void AddLine(const std::string& text) override;
    void EnableListButton(bool enable) override;

private:
    CDialog& m_dialog;
    CEdit& m_status;
    CListBox& m_lines;
    CButton& m_listButton;
    std::string m_pageAtPress;
};
