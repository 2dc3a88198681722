// vexlarin-list: the List command without a window, for scripts and machines without a
// display. Status texts and warnings go to standard error, the header and the page's lines to
// standard output as they are read; the block is appended to Vexlarin.txt in the current
// directory (or the file given). It can also read the whole memory in one run, keep it as a
// memory image, and say which device each port stands for.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "cli/list_options.h"
#include "cli/port_report.h"
#include "cli/terminal.h"
#include "listing/memory_read.h"
#include "platform/process.h"
#include "platform/stop_signals.h"
#include "ports/visible_text.h"
#include "serial/port_choice.h"
#include "serial/serial_link.h"

namespace {

// Exit codes of a run that ends before any page is read.
constexpr int kExitUsage = 1;
constexpr int kExitNoPort = 2;
constexpr int kExitPageRefused = 3;
constexpr int kExitFileNotWritten = 6;

// What a page, and a run, came to, from the least serious to the most: a run of several pages
// ends with the most serious of its pages.
enum class Outcome { Complete, OutputLost, NoAnswer, LinesFailed, FileNotWritten, Interrupted };

Outcome OutcomeOf(ListResult result, bool outputFailed) {
    switch (result) {
        case ListResult::Complete:
            return outputFailed ? Outcome::OutputLost : Outcome::Complete;
        case ListResult::NoAnswer:
            return Outcome::NoAnswer;
        case ListResult::LinesFailed:
            return Outcome::LinesFailed;
        case ListResult::PageRefused:  // refused before any port was touched
        case ListResult::FileNotWritten:
            return Outcome::FileNotWritten;
        case ListResult::Cancelled:
            break;
    }
    return Outcome::Interrupted;
}

int ExitCode(Outcome outcome, int signal) {
    static const int kCodes[] = {0, 7, 4, 5, 6};
    return outcome == Outcome::Interrupted ? 128 + signal : kCodes[static_cast<int>(outcome)];
}

// Takes the stop signals for the whole run on a thread of its own: the first cancels the
// link, so no handler runs inside the link's code.
class SignalCanceller {
public:
    SignalCanceller(platform::StopSignals& stop, CSerialLink& link)
        : m_stop(stop), m_thread([&stop, &link] {
              const auto cancel = [&link](int signal) {
                  std::fprintf(stderr, "vexlarin-list: %s, stopping\n",
                               platform::StopSignals::Name(signal).c_str());
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

std::string OpenFailure(const CSerialLink& link) {
    return "COM" + std::to_string(link.PortNumber()) + " (" +
           ports::VisibleText(link.DevicePath()) + "): " + link.OpenFailureText();
}

// Opens the chosen port, or the lowest-numbered that opens, as the window chooses at start.
// 0 with the reasons on standard error when none opened.
int OpenChosenPort(CSerialLink& link, int chosen) {
    if (chosen != 0) {
        if (OpenListingPort(link, chosen)) {
            return chosen;
        }
        std::fprintf(stderr, "vexlarin-list: no port opened: %s\n", OpenFailure(link).c_str());
        return 0;
    }
    std::string reasons[5];
    const PortProbe probe = ProbePorts(
        link, [&](int port, bool opened) { reasons[port] = opened ? "" : OpenFailure(link); });
    if (probe.open) {
        return probe.lowest;
    }
    std::fprintf(stderr, "vexlarin-list: no port opened:\n");
    for (int port = 1; port <= 4; ++port) {
        std::fprintf(stderr, "  %s\n", reasons[port].c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned closedAtStart = platform::OpenStandardDescriptors();
    ListOptions options;
    std::string error;
    switch (ParseListOptions(argc, argv, options, error)) {
        case ParseResult::Ok:
            break;
        case ParseResult::Usage:
            std::fprintf(stderr, "vexlarin-list: %s\n\n%s", error.c_str(), kListUsage);
            return kExitUsage;
        case ParseResult::PageRefused:
            std::fprintf(stderr, "vexlarin-list: %s\n", error.c_str());
            return kExitPageRefused;
    }
    if (options.help) {
        std::fputs(kListUsage, stdout);
        return 0;
    }
    if (options.ports) {
        return ShowPorts();
    }
    CMemoryImage image;
    if (!options.image.empty() && !image.Open(options.image, options.file, error)) {
        std::fprintf(stderr, "vexlarin-list: the image cannot be written: %s\n", error.c_str());
        return kExitFileNotWritten;
    }
    PrintPortFileProblems();
    platform::IgnoreWriteSignals();

    platform::StopSignals stop;  // before the first thread, which inherits its mask
    TerminalWarnings warnings(stop);
    CSerialLink link(&warnings);
    if (!options.device.empty()) {
        link.MapPort(1, options.device);  // the device stands in for COM1
        options.port = 1;
    }
    TerminalView view((closedAtStart & 2u) != 0);

    // Several pages are each announced with their place in the run.
    struct Announce : IPageProgress {
        void PageStarting(int page, int n, int count) override {
            if (count > 1) {
                std::fprintf(stderr, "vexlarin-list: page %c (%d of %d)\n",
                             CSerialLink::HexDigit(static_cast<unsigned>(page)), n, count);
            }
        }
    } announce;

    MemoryRead read;
    {
        SignalCanceller canceller(stop, link);
        const int port = OpenChosenPort(link, options.port);
        if (port == 0) {
            return kExitNoPort;
        }
        read = ReadPages(link, port, options.pages, view, options.file,
                         options.image.empty() ? nullptr : &image, &announce);
    }
    Outcome worst = Outcome::Complete;
    for (const ListResult result : read.results) {
        worst = std::max(worst, OutcomeOf(result, view.OutputFailed()));
    }
    if (!options.image.empty()) {
        if (!read.imageError.empty()) {
            std::fprintf(stderr, "vexlarin-list: writing the image failed: %s\n",
                         read.imageError.c_str());
            worst = std::max(worst, Outcome::FileNotWritten);
        }
        std::fprintf(stderr, "vexlarin-list: %s\n",
                     ImageSummary(image, options.pages, read).c_str());
    }
    return ExitCode(worst, stop.Received());
}
