#include "cli/terminal.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

void TerminalView::SetStatus(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

void TerminalView::Print(const std::string& text) {
    if (m_outputFailed) {
        return;
    }
    // The C library's own error: standard output is its stream, not a port of ours.
    int error = 0;
    if (m_stdoutClosed) {
        error = EBADF;
    } else if (std::fprintf(stdout, "%s\n", text.c_str()) < 0 || std::fflush(stdout) != 0) {
        error = errno;
    }
    if (error != 0) {
        m_outputFailed = true;
        std::fprintf(stderr, "vexlarin-list: writing to standard output failed: %s\n",
                     std::generic_category().message(error).c_str());
    }
}

void TerminalWarnings::ShowWarning(const std::string& title, const std::string& text) {
    m_stop.UnlessStopping([&] { std::fprintf(stderr, "%s: %s", title.c_str(), text.c_str()); });
}
