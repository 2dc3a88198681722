// vexlarin-list: the List command without a window, for scripts and machines without a
// display. Status texts and warnings go to standard error, the page's lines to standard
// output as they are read; the block is appended to Vexlarin.txt in the current directory.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "listing/list_command.h"
#include "platform/last_error.h"
#include "platform/serial_port.h"
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
};

const char kUsage[] =
    "Usage: vexlarin-list [--port N] [--page P]\n"
    "Reads one page of the DV camera's memory (16 lines of 16 bytes) and appends it, under\n"
    "a dated header, to Vexlarin.txt in the current directory.\n"
    "\n"
    "  --port N   COM port 1 to 4 (COMn is the device in VEXLARIN_COMn, else /dev/ttyS{n-1});\n"
    "             without it the lowest-numbered port that opens\n"
    "  --page P   page digit 0 to 9 or A to F (lowercase taken as uppercase); default 0\n"
    "  --help     this text\n"
    "\n"
    "Each line goes to standard output as it is read; status texts and warnings go to\n"
    "standard error.\n"
    "\n"
    "Exit codes:\n"
    "  0    the complete page was read and written to the file\n"
    "  1    wrong command line\n"
    "  2    no port opened\n"
    "  3    the page was refused (not a hexadecimal digit); nothing sent or written\n"
    "  4    the camera did not answer; nothing written\n"
    "  5    one or more lines could not be read (\"XXXX\" in their place)\n"
    "  6    the file could not be written (takes precedence over 5)\n"
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
            options.page = value;  // checked by the List command itself, as in the window
        } else if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') {
            options.port = value[0] - '0';
        } else {
            error = "--port takes 1, 2, 3 or 4, not \"" + value + "\"";
            return false;
        }
    }
    return true;
}

class TerminalView : public IListView {
public:
    explicit TerminalView(std::string page) : m_page(std::move(page)) {}
    std::string PageFieldText() override { return m_page; }
    void SetStatus(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ResetLines() override {}
    void AddLine(const std::string& text) override {
        std::fprintf(stdout, "%s\n", text.c_str());
        std::fflush(stdout);
    }
    void EnableListButton(bool) override {}

private:
    std::string m_page;
};

class TerminalWarnings : public IWarningSink {
public:
    void ShowWarning(const std::string& title, const std::string& text) override {
        std::fprintf(stderr, "%s: %s", title.c_str(), text.c_str());
    }
};

// SIGINT and SIGTERM cancel the link from a thread that waits for them, so no handler
// runs inside the link's code. Must be constructed before any other thread starts, so
// that every thread inherits the blocked signals.
class SignalCanceller {
public:
    explicit SignalCanceller(CSerialLink& link) {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
        m_thread = std::thread([this, &link] { Wait(link); });
    }
    ~SignalCanceller() {
        m_stopping.store(true);
        pthread_kill(m_thread.native_handle(), SIGTERM);
        m_thread.join();
    }
    SignalCanceller(const SignalCanceller&) = delete;
    SignalCanceller& operator=(const SignalCanceller&) = delete;

    // The signal that cancelled the listing, 0 when none did.
    int Received() const { return m_received.load(); }

private:
    void Wait(CSerialLink& link) {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_signals, &signal) != 0 || m_stopping.load()) {
                return;
            }
            if (m_received.load() == 0) {
                m_received.store(signal);
                std::fprintf(stderr, "vexlarin-list: %s, stopping\n", strsignal(signal));
            }
            link.Cancel();
        }
    }

    sigset_t m_signals{};
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_received{0};
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

int ExitCodeOf(ListResult result, int signal) {
    switch (result) {
        case ListResult::Complete:
            return kExitComplete;
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
    // A closed standard output or a file-size limit must not kill the listing halfway: the
    // write fails instead, and the failure is reported.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);

    TerminalWarnings warnings;
    CSerialLink link(&warnings);
    TerminalView view(options.page);
    int signalReceived = 0;
    ListResult result;
    {
        SignalCanceller canceller(link);
        const int port = OpenChosenPort(link, options.port);
        if (port == 0) {
            return kExitNoPort;
        }
        result = ListPage(link, port, view);
        signalReceived = canceller.Received();
    }
    return ExitCodeOf(result, signalReceived);
}
