// vexlarin-list: the List command without a window, for scripts and machines without a
// display. Status texts and warnings go to standard error, the header and the page's lines to
// standard output as they are read; the block is appended to Vexlarin.txt in the current
// directory (or the file given). It can also read the whole memory in one run, keep it as a
// memory image, and say which device each port stands for.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "app/list_ports.h"
#include "listing/list_command.h"
#include "listing/memory_image.h"
#include "platform/last_error.h"
#include "platform/open_error.h"
#include "platform/port_file.h"
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
    "Usage: vexlarin-list [--port N | --device PATH] [--page P | --page all] [--file PATH]\n"
    "                     [--image PATH]\n"
    "       vexlarin-list --ports\n"
    "Reads one page of the DV camera's memory (16 lines of 16 bytes), or all sixteen, and\n"
    "appends each, under a dated header, to Vexlarin.txt in the current directory.\n"
    "\n"
    "  --port N       COM port 1 to 4; without it the lowest-numbered port that opens. COMn is\n"
    "                 the device in VEXLARIN_COMn, else the one the port file names\n"
    "                 ($XDG_CONFIG_HOME/vexlarin/ports, COMn=PATH lines), else /dev/ttyS{n-1}\n"
    "  --device PATH  the device at PATH, as COM1 (warnings name port 1)\n"
    "  --page P       one page digit, 0 to 9 or A to F (lowercase taken as uppercase); default 0\n"
    "  --page all     pages 0 to F in turn, each as one listing with its own block\n"
    "  --file PATH    append the blocks to PATH instead of Vexlarin.txt\n"
    "  --image PATH   also write the bytes read to PATH as a memory image (page p at offset\n"
    "                 256 * p, FF where a line failed), as vexlarin-camsim --image reads it\n"
    "  --ports        say which device each COM port stands for, where that comes from and\n"
    "                 whether it opens, and list the serial devices found\n"
    "  --help         this text\n"
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
    "  6    the file or the image could not be written (takes precedence over 5 and 7)\n"
    "  7    standard output could not be written (reported on standard error); the page was\n"
    "       read and written to the file (5 takes precedence)\n"
    "  130  interrupted by SIGINT, 143 by SIGTERM; what was written stays\n"
    "With --page all, the most serious result of the pages, from the least: 0, 7, 4, 5, 6,\n"
    "an interruption.\n";

struct Options {
    int port = 0;  // 0: the lowest that opens
    std::string device;
    std::string page = "0";
    std::string file = "Vexlarin.txt";
    std::string image;
    bool ports = false;
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
        if (argument == "--ports" && !hasValue) {
            options.ports = true;
            continue;
        }
        std::string* text = argument == "--device"  ? &options.device
                            : argument == "--page"  ? &options.page
                            : argument == "--file"  ? &options.file
                            : argument == "--image" ? &options.image
                                                    : nullptr;
        if (!text && argument != "--port") {
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
        if (text) {
            if (value.empty()) {
                error = argument + " needs a value";
                return false;
            }
            *text = value;  // a page is checked once the whole line is understood
        } else if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') {
            options.port = value[0] - '0';
        } else {
            error = "--port takes 1, 2, 3 or 4, not \"" + value + "\"";
            return false;
        }
    }
    if (options.port != 0 && !options.device.empty()) {
        error = "--port and --device name the port twice";
        return false;
    }
    if (options.ports && argc != 2) {
        error = "--ports stands alone";
        return false;
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
    explicit TerminalView(bool stdoutClosed) : m_stdoutClosed(stdoutClosed) {}
    // The page the next listing reads.
    void StartPage(char page) {
        m_page.assign(1, page);
        m_lines.clear();
    }
    std::string PageFieldText() override { return m_page; }
    void SetStatus(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ResetLines() override { m_lines.clear(); }
    void AddLine(const std::string& text) override {
        m_lines.push_back(text);
        Print(text);
    }
    void EnableListButton(bool) override {}
    void ShowHeader(const std::string& header) override { Print(header); }

    // Whether a line could not be written to standard output.
    bool OutputFailed() const { return m_outputFailed; }
    // The lines of the page listed last.
    const std::vector<std::string>& Lines() const { return m_lines; }

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
    std::vector<std::string> m_lines;
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
    return text + platform::OpenErrorText(link.OpenError(), link.DevicePath());
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

// Where a result stands among the pages of one run, from the least serious; an interruption
// outranks them all.
int Seriousness(int code) {
    static const int kOrder[] = {kExitComplete, kExitOutputLost, kExitNoAnswer, kExitLineFailed,
                                 kExitFileNotWritten};
    for (std::size_t i = 0; i < std::size(kOrder); ++i) {
        if (kOrder[i] == code) {
            return static_cast<int>(i);
        }
    }
    return static_cast<int>(std::size(kOrder));
}

// The pages `--page` asks for (0 to 15), in order; none when the value is refused.
std::vector<int> Pages(const std::string& value) {
    std::vector<int> pages;
    for (int page = 0; page < 16; ++page) {
        if (value == "all" || PageDigit(value) == CSerialLink::HexDigit(page)) {
            pages.push_back(page);
        }
    }
    return pages;
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
    if (options.ports) {
        return ShowPorts();
    }
    const std::vector<int> pages = Pages(options.page);
    if (pages.empty()) {
        std::fprintf(stderr,
                     "vexlarin-list: --page takes one hexadecimal digit, 0 to 9 or A to F, or "
                     "all, not \"%s\"\n",
                     options.page.c_str());
        return kExitPageRefused;
    }
    CMemoryImage image;
    if (!options.image.empty() && !image.Open(options.image, error)) {
        std::fprintf(stderr, "vexlarin-list: the image cannot be written: %s\n", error.c_str());
        return kExitFileNotWritten;
    }
    if (!options.device.empty()) {
        // Set while this is the only thread: the device stands in for COM1.
        setenv("VEXLARIN_COM1", options.device.c_str(), 1);
        options.port = 1;
    }
    for (const std::string& problem : platform::ReadPortFile(platform::PortFilePath()).problems) {
        std::fprintf(stderr, "vexlarin-list: %s\n", problem.c_str());
    }
    // A closed standard output or a file-size limit must not kill the listing halfway: the
    // write fails instead, and the failure is reported.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);

    platform::StopSignals stop;  // before the first thread, which inherits its mask
    TerminalWarnings warnings(stop);
    CSerialLink link(&warnings);
    TerminalView view((closedAtStart & 2u) != 0);
    int worst = kExitComplete;
    bool imageFailed = false;
    {
        SignalCanceller canceller(stop, link);
        const int port = OpenChosenPort(link, options.port);
        if (port == 0) {
            return kExitNoPort;
        }
        for (std::size_t n = 0; n < pages.size(); ++n) {
            if (pages.size() > 1) {
                std::fprintf(stderr, "vexlarin-list: page %c (%zu of %zu)\n",
                             CSerialLink::HexDigit(pages[n]), n + 1, pages.size());
            }
            view.StartPage(CSerialLink::HexDigit(pages[n]));
            const ListResult result = ListPage(link, port, view, options.file);
            int code = ExitCodeOf(result, stop.Received(), view.OutputFailed());
            if (result == ListResult::Cancelled) {
                worst = code;
                break;  // at once: a page cut short is no page of the image either
            }
            if (!options.image.empty() && !imageFailed) {
                const std::vector<std::string> none;
                const bool answered = result != ListResult::NoAnswer;
                if (!image.WritePage(pages[n], answered ? view.Lines() : none, error)) {
                    std::fprintf(stderr, "vexlarin-list: writing the image failed: %s\n",
                                 error.c_str());
                    imageFailed = true;
                }
            }
            if (imageFailed) {
                code = std::max(code, int{kExitFileNotWritten},
                                [](int a, int b) { return Seriousness(a) < Seriousness(b); });
            }
            if (Seriousness(code) > Seriousness(worst)) {
                worst = code;
            }
        }
    }
    return worst;
}
