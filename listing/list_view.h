// What the List command reads from and writes to its front end: the window or the terminal.
// Each call returns once the front end shows what it was given, so a status text is visible
// before the line it announces is read.
#pragma once

#include <string>

class IListView {
public:
    virtual ~IListView() = default;
    // The page field's text, read once per listing.
    virtual std::string PageFieldText() = 0;
    // Replaces the status line's text and repaints at once.
    virtual void SetStatus(const std::string& text) = 0;
    // Empties the list of lines.
    virtual void ResetLines() = 0;
    // Adds one line at the end of the list.
    virtual void AddLine(const std::string& text) = 0;
    // Enables or disables the "List" button.
    virtual void EnableListButton(bool enable) = 0;
    // The block's header line, as it went to the file, before the first line is read. The
    // window lists only the lines; a terminal shows it above them.
    virtual void ShowHeader(const std::string& /*header*/) {}
};
