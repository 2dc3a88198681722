// vexlarin-list: the List command without a window, for scripts and machines without a
// display. Status texts and warnings go to standard error, the header and the page's lines to
// standard output as they are read; the block is appended to Vexlarin.txt in the current
// directory.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "listing/list_command.h"
#include "platform/last_error.h"
#include "platform/serial_port.h"
#include "platform/standard_streams.h"
#include "platform/stop_signals.h"
#include "serial/serial_link.h"

namespace {

enum ExitCode {
    kExitComplete = 0,
    kExitUsage = 1,
    kExitNoPort = 2,
    kExitPageRefused = 3,
    kExitNoAnswer = 4,
    kExitLineFailed = 5,
    kExitFileNotWritten = 6,
    kExitOutputLost = 7,
};

const char kUsage[] =
    "Usage: vexlarin-list [--port N] [--page P]\n"
    "Reads one page of the DV camera's memory (16 lines of 16 bytes) and appends it, under\n"
    "a dated header, to Vexlarin.txt in the current directory.\n"
    "\n"
    "  --port N   COM port 1 to 4 (COMn is the device in VEXLARIN_COMn, else /dev/ttyS{n-1});\n"
    "             without it the lowest-numbered port that opens\n"
    "  --page P   one page digit, 0 to 9 or A to F (lowercase taken as uppercase); default 0\n"
    "  --help     this text\n"
    "\n"
    "The header line, then each line as it is read, go to standard output; status texts and\n"
    "warnings go to standard error. SIGINT or SIGTERM stops the listing; a second one ends\n"
    "the program at once.\n"
    "\n"
    "Exit codes:\n"
    "  0    the complete page was read and written to the file and to standard output\n"
    "  1    wrong command line\n"
    "  2    no port opened\n"
    "  3    the page was refused (not one hexadecimal digit); no port touched, nothing written\n"
    "  4    the camera did not answer; nothing written\n"
    "  5    one or more lines could not be read (\"XXXX\" in their place)\n"
    "  6    the file could not be written (takes precedence over 5 and 7)\n"
    "  7    standard output could not be written (reported on standard error); the page was\n"
    "       read and written to the file (5 takes precedence)\n"
    "  130  interrupted by SIGINT, 143 by SIGTERM; what was written stays\n";

struct Options {
    int port = 0;  // 0: the lowest that opens
    std::string page = "0";
};

// False with a message for a command line that is not understood.
bool ParseArguments(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.resize(equals);
            hasValue = true;
        }
        if (argument != "--port" && argument != "--page") {
            error = "unknown argument: " + std::string(argv[i]);
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = argument + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (argument == "--page") {
            options.page = value;  // checked once the whole line is understood
        } else if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') {
            options.port = value[0] - '0';
        } else {
            error = "--port takes 1, 2, 3 or 4, not \"" + value + "\"";
            return false;
        }
    }
    return true;
}

// The page digit that `--page` gives: exactly one hexadecimal digit, lowercase taken as
// uppercase. 0 for anything else, which is refused before any port is touched (the window's
// field, by contrast, goes by its first character).
char PageDigit(const std::string& value) {
    if (value.size() != 1) {
        return '\0';
    }
    const char c = value[0];
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
        return c;
    }
    return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : '\0';
}

class TerminalView : public IListView {
public:
    // `stdoutClosed`: standard output was closed at start (and now leads to /dev/null), so
    // every line would be lost.
    TerminalView(char page, bool stdoutClosed) : m_page(1, page), m_stdoutClosed(stdoutClosed) {}
    std::string PageFieldText() override { return m_page; }
    void SetStatus(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ResetLines() override {}
    void AddLine(const std::string& text) override { Print(text); }
    void EnableListButton(bool) override {}
    void ShowHeader(const std::string& header) override { Print(header); }

    // Whether a line could not be written to standard output.
    bool OutputFailed() const { return m_outputFailed; }

private:
    // One line on standard output, handed on at once. The first failure is reported; the later
    // lines are not tried, as they would fail alike.
    void Print(const std::string& text) {
        if (m_outputFailed) {
            return;
        }
        int error = 0;
        if (m_stdoutClosed) {
            error = EBADF;
        } else if (std::fprintf(stdout, "%s\n", text.c_str()) < 0 || std::fflush(stdout) != 0) {
            error = errno;
        }
        if (error != 0) {
            m_outputFailed = true;
            std::fprintf(stderr, "vexlarin-list: writing to standard output failed: %s\n",
                         platform::SystemErrorText(error).c_str());
        }
    }

    std::string m_page;
    bool m_stdoutClosed;
    bool m_outputFailed = false;
};

class TerminalWarnings : public IWarningSink {
public:
    explicit TerminalWarnings(platform::StopSignals& stop) : m_stop(stop) {}
    void ShowWarning(const std::string& title, const std::string& text) override {
        // Once the user has stopped, nothing more: the port hanging up as the camera is
        // stopped too is no news to them.
        m_stop.UnlessStopping([&] { std::fprintf(stderr, "%s: %s", title.c_str(), text.c_str()); });
    }

private:
    platform::StopSignals& m_stop;
};

// Takes SIGINT and SIGTERM for the whole run on a thread of its own: the first cancels the
// link, so no handler runs inside the link's code.
class SignalCanceller {
public:
    SignalCanceller(platform::StopSignals& stop, CSerialLink& link)
        : m_stop(stop), m_thread([&stop, &link] {
              const auto cancel = [&link](int signal) {
                  std::fprintf(stderr, "vexlarin-list: %s, stopping\n", strsignal(signal));
                  link.Cancel();
              };
              while (stop.TakeNext(cancel) != 0) {
              }
          }) {}
    ~SignalCanceller() {
        m_stop.Wake();
        m_thread.join();
    }
    SignalCanceller(const SignalCanceller&) = delete;
    SignalCanceller& operator=(const SignalCanceller&) = delete;

private:
    platform::StopSignals& m_stop;
    std::thread m_thread;
};

bool Open(CSerialLink& link, int port) {
    return link.OpenPort(port, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);
}

std::string OpenFailure(const CSerialLink& link, int port) {
    std::string text = "COM" + std::to_string(port) + " (" + link.DevicePath() + "): ";
    return text + platform::OpenErrorText(link.OpenError());
}

// Opens the chosen port, or probes COM4 to COM1 and opens the lowest that opened again,
// as the window does at start. 0 with the reasons on standard error when none opened.
int OpenChosenPort(CSerialLink& link, int chosen) {
    if (chosen != 0) {
        if (Open(link, chosen)) {
            return chosen;
        }
        std::fprintf(stderr, "vexlarin-list: no port opened: %s\n",
                     OpenFailure(link, chosen).c_str());
        return 0;
    }
    std::string reasons[5];
    int lowest = 0;
    for (int port = 4; port >= 1; --port) {
        if (Open(link, port)) {
            lowest = port;
        } else {
            reasons[port] = OpenFailure(link, port);
        }
    }
    if (lowest != 0 && Open(link, lowest)) {
        return lowest;
    }
    std::fprintf(stderr, "vexlarin-list: no port opened:\n");
    for (int port = 1; port <= 4; ++port) {
        if (reasons[port].empty()) {
            reasons[port] = OpenFailure(link, port);  // opened at the probe, not again
        }
        std::fprintf(stderr, "  %s\n", reasons[port].c_str());
    }
    return 0;
}

int ExitCodeOf(ListResult result, int signal, bool outputFailed) {
    switch (result) {
        case ListResult::Complete:
            return outputFailed ? kExitOutputLost : kExitComplete;
        case ListResult::PageRefused:
            return kExitPageRefused;
        case ListResult::NoAnswer:
            return kExitNoAnswer;
        case ListResult::LinesFailed:
            return kExitLineFailed;
        case ListResult::FileNotWritten:
            return kExitFileNotWritten;
        case ListResult::Cancelled:
            break;
    }
    return 128 + (signal != 0 ? signal : SIGINT);
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned closedAtStart = platform::OpenStandardDescriptors();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return kExitComplete;
        }
    }
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "vexlarin-list: %s\n\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    const char page = PageDigit(options.page);
    if (page == '\0') {
        std::fprintf(stderr,
                     "vexlarin-list: --page takes one hexadecimal digit, 0 to 9 or A to F, "
                     "not \"%s\"\n",
                     options.page.c_str());
        return kExitPageRefused;
    }
    // A closed standard output or a file-size limit must not kill the listing halfway: the
    // write fails instead, and the failure is reported.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);

    platform::StopSignals stop;  // before the first thread, which inherits its mask
    TerminalWarnings warnings(stop);
    CSerialLink link(&warnings);
    TerminalView view(page, (closedAtStart & 2u) != 0);
    ListResult result;
    {
        SignalCanceller canceller(stop, link);
        const int port = OpenChosenPort(link, options.port);
        if (port == 0) {
            return kExitNoPort;
        }
        result = ListPage(link, port, view);
    }
    return ExitCodeOf(result, stop.Received(), view.OutputFailed());
}
