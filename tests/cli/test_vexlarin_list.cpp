// vexlarin-list as a script runs it: its output, its file, its image and its exit codes,
// against the simulated camera.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/process.h"
#include "platform/stop_signals.h"
#include "support/listing_fixture.h"

namespace {

std::string Output(const std::vector<std::string>& lines, const std::string& end = "\n") {
    std::string out;
    for (const std::string& line : lines) {
        out += line + end;
    }
    return out;
}

class VexlarinList : public ListingTest {
protected:
    // Run in the listing file's directory.
    ChildOptions Here(long fileSizeLimit = -1) const {
        ChildOptions options;
        options.directory = dir.Path();
        options.fileSizeLimit = fileSizeLimit;
        return options;
    }
    ChildOutcome Run(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), VEXLARIN_LIST);
        return RunChild(args, Here(fileSizeLimit));
    }
};

TEST_F(VexlarinList, ListsAPageOnTheLowestPortThatOpensToOutputFileAndImage) {
    SimulatedCamera com3(dir / "com3.log"), com4(dir / "com4.log");
    PortMapping map3(3, com3.DevicePath()), map4(4, com4.DevicePath());
    // The image is written in place: what it held elsewhere stays.
    std::ofstream(dir / "image.bin", std::ios::binary) << std::string(4096, 'x');
    const auto start = std::chrono::steady_clock::now();
    const ChildOutcome outcome = Run({"--page", "7", "--image", "image.bin"});
    // The camera needs a second between the ping and the first line.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(outcome.code, 0);
    std::string status;
    for (int r = 0; r < 16; ++r) {
        status += Progress(r) + "\n";
    }
    EXPECT_EQ(outcome.err, status + kAdded + "\nvexlarin-list: image.bin: page 7 written.\n");
    const std::string text = ReadFileText(file);
    ExpectBlock(text, '7', PageLines(7));
    EXPECT_EQ(outcome.out, text.substr(0, text.find('\r')) + "\n" + Output(PageLines(7)));
    // Byte i of line r of page p in the default memory is 16p + 16r + i + 2.
    std::string image(4096, 'x');
    for (int k = 0; k < 256; ++k) {
        image[7 * 256 + k] = static_cast<char>(16 * 7 + 16 * (k / 16) + k % 16 + 2);
    }
    EXPECT_EQ(ReadFileText(dir / "image.bin"), image);
    EXPECT_EQ(com3.Exchanges(), 1 + 16 * 52);
    EXPECT_EQ(com4.Exchanges(), 0);  // only probed
}

// Failures before any line is read: nothing printed or written.
TEST_F(VexlarinList, EachEarlyFailureHasItsExitCode) {
    const std::string refused =
        "vexlarin-list: --page takes one hexadecimal digit, 0 to 9 or A to F, or all, not \"";
    const std::string com2 = "COM2 (/nonexistent/vexlarin-com2): No such file or directory";
    const struct {
        std::vector<std::string> args;
        bool camera;  // one that never answers, on COM1
        int code;
        std::string err;  // all of standard error, or (ending without LF) a part of it
    } cases[] = {
        {{"--port", "5"}, false, 1, "Usage: vexlarin-list"},
        {{},
         false,
         2,
         "vexlarin-list: no port opened:\n  COM1 (" + stable + "): No such file or directory\n  " +
             com2 + "\n  COM3 ("},
        // Only the port asked for is tried.
        {{"--port", "2"}, false, 2, "vexlarin-list: no port opened: " + com2 + "\n"},
        // The page is refused before any port is touched, even probed: none of them opens.
        {{"--page", "10"}, false, 3, refused + "10\"\n"},
        {{"--page", "g"}, false, 3, refused + "g\"\n"},
        {{"--port=1", "--page=7"}, true, 4, "Application Error: " + kTimeOutWarning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        camera.reset();
        if (c.camera) {
            Plug({"--silent-after", "0"});
        }
        const ChildOutcome outcome = Run(c.args);
        EXPECT_EQ(outcome.code, c.code);
        if (c.err.back() == '\n') {
            EXPECT_EQ(outcome.err, c.err);
        } else {
            EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
        }
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(access(file.c_str(), F_OK), -1) << "nothing may be written";
        EXPECT_EQ(c.camera ? camera->Exchanges() : 0, c.code == 4 ? 1 : 0);
    }
}

// The disk fills in data line 5 whatever the date (a header takes 33 to 42 bytes, a line 56) and
// line 15 is not answered: lines 0 to 4 stay whole and line 5 is cut back to nothing, so that no
// torn line is left for the next block to be glued onto; the file's failure outranks the line's.
TEST_F(VexlarinList, DiskFillingMidLineKeepsEveryWholeLineBeforeIt) {
    Plug({"--silent-after", "781"});  // the ping and 15 lines of 52 exchanges
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    const ChildOutcome full = Run({"--page", "b"}, 6 + 42 + 56 * 5 + 20);
    EXPECT_EQ(full.code, 6);
    std::vector<std::string> page = PageLines(11);
    page[15] = "XXXX";
    const std::string message =
        "Application Error: WARNING:  Vexlarin.txt Failed with the "
        "following error: \nFile too large\nPort: 1\n";
    EXPECT_NE(full.err.find(message), std::string::npos) << full.err;
    EXPECT_EQ(full.err.find(message), full.err.rfind(message)) << "more than once";
    EXPECT_NE(full.err.find("Finished - could not write Vexlarin.txt"), std::string::npos);
    const std::string cut = ReadFileText(file);
    const std::size_t headerEnd = cut.find("\r\n", 6) + 2;
    ASSERT_EQ(cut.substr(0, 6), "kept\r\n");
    EXPECT_TRUE(IsHeader(cut.substr(6, headerEnd - 8), 'B')) << cut;
    EXPECT_EQ(cut.substr(headerEnd), Output(page, "\r\n").substr(0, 56 * 5));
    // The page is still read and shown.
    EXPECT_EQ(full.out, cut.substr(6, headerEnd - 8) + "\n" + Output(page));
}

// The whole memory in one run from a device given by its path, the camera falling silent at
// page E's last line: a block per page read in the file asked for, an image equal to the
// camera's memory where it answered and FF elsewhere, and the most serious page's result (a
// line that failed, over the page that then did not answer).
TEST_F(VexlarinList, WholeMemoryIntoAFileAndAnImageUntilTheCameraFallsSilent) {
    std::string memory(4096, '\0');
    for (std::size_t k = 0; k < memory.size(); ++k) {
        memory[k] = static_cast<char>((k * 37 + 11) % 256);
    }
    std::ofstream(dir / "memory.bin", std::ios::binary) << memory;
    Plug({"--image", dir / "memory.bin", "--silent-after", std::to_string(833 * 14 + 781)});
    const ChildOutcome outcome =
        Run({"--device", stable, "--page", "all", "--file", "pages.txt", "--image", "read.bin"});
    EXPECT_EQ(outcome.code, 5) << outcome.err;
    std::string image = memory;
    std::fill(image.begin() + 256 * 14 + 16 * 15, image.end(), '\xFF');
    EXPECT_EQ(ReadFileText(dir / "read.bin"), image);
    EXPECT_NE(outcome.err.find("Finished - added to pages.txt\n"), std::string::npos);

    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(ReadFileText(dir / "pages.txt"), lines));
    EXPECT_EQ(lines.size(), 15u * 18);
    EXPECT_NE(outcome.err.find("vexlarin-list: page F (16 of 16)\n"), std::string::npos);

    // The camera hangs up in page 1: one warning, naming the cause, and no page after it asked.
    Plug({"--hangup-after", std::to_string(833 + 100)});
    const ChildOutcome gone = Run({"--port", "1", "--page", "all", "--file", "gone.txt"});
    EXPECT_EQ(gone.code, 5);
    const std::string warning = "Application Error: WARNING:  ";
    const auto first = gone.err.find(warning);
    EXPECT_EQ(first, gone.err.rfind(warning)) << gone.err;
    EXPECT_NE(gone.err.find("COM1 (" + stable + "): the device is gone\nPort: 1\n", first),
              std::string::npos)
        << gone.err;
    EXPECT_EQ(gone.err.find("page 2 (3 of 16)"), std::string::npos);
    // Page 1's block keeps its 16 lines: line 0 read, lines 1 to F failed without asking.
    ASSERT_TRUE(SplitCrLf(ReadFileText(dir / "gone.txt"), lines));
    ASSERT_EQ(lines.size(), 2u * 18);
    EXPECT_EQ(lines[18 + 1].substr(0, 6), "00    ");
    EXPECT_EQ(lines[18 + 2], "XXXX");
    EXPECT_EQ(lines[18 + 16], "XXXX");
}

// A signal while line 1 waits for a camera that fell silent after line 0 (its time-out is two
// seconds away, the page's end thirty): the exit code names the signal, and the file keeps the
// header and line 0 without a closing line.
TEST_F(VexlarinList, EachStopSignalHasItsExitCodeKeepsWhatWasWrittenAndPutsThePortBack) {
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, {SIGTERM, 143}}) {
        SCOPED_TRACE(code);
        Plug({"--silent-after", "53"});  // the ping and line 0
        std::filesystem::remove(file);
        ChildProcess lister({VEXLARIN_LIST, "--port", "1"}, Here());
        std::string header, line;
        ASSERT_TRUE(lister.ReadLine(header) && lister.ReadLine(line));
        EXPECT_EQ(line, ExpectedLine(0, 0));
        lister.Signal(signal);
        EXPECT_EQ(lister.Wait(), code);
        EXPECT_EQ(ReadFileText(file), header + "\r\n" + line + "\r\n");
    }

    // A terminal as the port, left as it was found (its settings back, its exclusive flag
    // cleared for another user) after a hang-up, and after a second signal that ends the run at
    // once: standard error a full pipe, where the first stop is stuck saying so.
    const std::string fifo = dir / "stderr";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [signals, code] :
         {std::pair{std::vector<int>{SIGHUP}, 129}, {std::vector<int>{SIGHUP, SIGINT}, 130}}) {
        SCOPED_TRACE(code);
        PtyPair port;
        ASSERT_EQ(chmod(port.DevicePath().c_str(), 0666), 0);
        // Held open here too, so that the master side sees input, never a hang-up, until then.
        const int keeper = open(port.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        PortMapping com1(1, port.DevicePath());
        termios before{};
        ASSERT_EQ(tcgetattr(port.MasterFd(), &before), 0);
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        const std::string block(4096, '.');
        while (signals.size() > 1 && write(filler, block.data(), block.size()) > 0) {
        }
        ChildOptions options = Here();
        options.errorFile = fifo;
        ChildProcess lister({VEXLARIN_LIST, "--port", "1"}, options);
        pollfd ping{port.MasterFd(), POLLIN, 0};  // the port is open and raw once it pings
        ASSERT_EQ(poll(&ping, 1, 10000), 1);
        for (const int signal : signals) {
            lister.Signal(signal);
        }
        EXPECT_EQ(lister.Wait(), code);
        close(reader);
        close(filler);
        termios after{};
        ASSERT_EQ(tcgetattr(port.MasterFd(), &after), 0);
        EXPECT_EQ(std::tie(after.c_lflag, after.c_iflag, after.c_oflag, after.c_cflag),
                  std::tie(before.c_lflag, before.c_iflag, before.c_oflag, before.c_cflag));
        EXPECT_EQ(OpenAsNobody(port.DevicePath()), 0);
        close(keeper);
    }
}

TEST_F(VexlarinList, LostOutputIsReportedOnceAndTheFileStillWritten) {
    Plug();
    const ChildOutcome outcome =
        RunChild({"/bin/sh", "-c", "exec \"$0\" >/dev/full", VEXLARIN_LIST}, Here());
    EXPECT_EQ(outcome.code, 7);
    ExpectBlock(ReadFileText(file), '0', PageLines(0));
    const std::string message =
        "vexlarin-list: writing to standard output failed: No space left on device";
    EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find(message), outcome.err.rfind(message)) << "more than once";
}

// Closed at start, standard output or error would be where the next port or file lands.
TEST(StandardDescriptors, ClosedOnesLeadToDevNullBeforeAnythingElseIsOpened) {
    EXPECT_EXIT(
        {
            close(0);
            close(2);
            const unsigned closed = platform::OpenStandardDescriptors();
            const int next = open("/dev/null", O_RDONLY);
            _exit(closed == 5u && next > 2 && fcntl(0, F_GETFD) >= 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// vexlarin-list's signal intake on this thread: no warning once the user has stopped (the port
// hangs up as the same Ctrl-C stops the camera), taken or not; a second signal ends it at once.
TEST(StopSignals, NoWarningOnceTheUserStoppedAndASecondSignalEndsAtOnce) {
    platform::StopSignals stop;
    std::vector<std::string> shown;
    const auto warn = [&](const char* text) {
        stop.UnlessStopping([&] { shown.push_back(text); });
    };
    warn("before");
    raise(SIGINT);  // blocked: pending until taken
    warn("pending");
    EXPECT_EQ(stop.TakeNext([](int) {}), SIGINT);
    warn("taken");
    EXPECT_EQ(shown, std::vector<std::string>{"before"});
    // Whatever the program is stuck in, the next signal ends it with 128 + its number.
    EXPECT_EXIT(
        {
            raise(SIGTERM);
            std::abort();
        },
        testing::ExitedWithCode(128 + SIGTERM), "");
}

}  // namespace
