// vexlarin-list as a script runs it: its output, its file and its exit codes, against the
// simulated camera.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/standard_streams.h"
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

// Standard output of a listing of page `page` that read `lines`: the header line first.
void ExpectPrinted(const std::string& out, char page, const std::vector<std::string>& lines) {
    const std::size_t end = out.find('\n');
    ASSERT_NE(end, std::string::npos) << out;
    EXPECT_TRUE(IsHeader(out.substr(0, end), page)) << out;
    EXPECT_EQ(out.substr(end + 1), Output(lines));
}

class VexlarinList : public ListingTest {
protected:
    ChildOptions InDir(long fileSizeLimit = -1) const {
        ChildOptions options;
        options.directory = dir.Path();
        options.fileSizeLimit = fileSizeLimit;
        return options;
    }
    ChildOutcome Run(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), VEXLARIN_LIST);
        return RunChild(args, InDir(fileSizeLimit));
    }
};

TEST_F(VexlarinList, ListsThePageOnTheLowestPortThatOpens) {
    SimulatedCamera com3(dir / "com3.log"), com4(dir / "com4.log");
    PortMapping map3(3, com3.DevicePath()), map4(4, com4.DevicePath());
    const ChildOutcome outcome = Run({});
    EXPECT_EQ(outcome.code, 0);
    ExpectPrinted(outcome.out, '0', PageLines(0));
    std::string status;
    for (int r = 0; r < 16; ++r) {
        status += Progress(r) + "\n";
    }
    EXPECT_EQ(outcome.err, status + kAdded + "\n");
    const std::string text = ReadFileText(file);
    ExpectBlock(text, '0', PageLines(0));
    EXPECT_EQ(outcome.out.substr(0, outcome.out.find('\n')), text.substr(0, text.find('\r')));
    EXPECT_EQ(com3.Exchanges(), 1 + 16 * 52);
    EXPECT_EQ(com4.Exchanges(), 0);  // only probed
}

TEST_F(VexlarinList, CommandLineAndHelp) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--port", "5"},
                                               {"--port", "0"},
                                               {"--port"},
                                               {"--page"},
                                               {"--bogus"},
                                               {"1"},
                                               {"--port=1", "--device=/dev/null"},
                                               {"--ports", "--page", "1"}}) {
        const ChildOutcome outcome = Run(args);
        EXPECT_EQ(outcome.code, 1) << args[0];
        EXPECT_NE(outcome.err.find("Usage: vexlarin-list"), std::string::npos) << args[0];
    }
    const ChildOutcome help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
}

struct ExitCase {
    std::vector<std::string> args;
    bool camera;  // a camera on COM1, with `faults`
    std::vector<std::string> faults;
    int code;
    std::vector<std::string> errHas;  // parts of standard error
    bool errIsExactly;                // standard error is errHas[0] and nothing else
};

TEST_F(VexlarinList, EachFailureHasItsExitCode) {
    const auto missing = [](int n, const std::string& path) {
        return "COM" + std::to_string(n) + " (" + path + "): No such file or directory";
    };
    const auto refused = [](const std::string& page) {
        return "vexlarin-list: --page takes one hexadecimal digit, 0 to 9 or A to F, or all, "
               "not \"" +
               page + "\"\n";
    };
    const std::string silent =
        "Application Error: WARNING:  DV Camera not responding.  Failed "
        "with the following error: \nTimeOut. Check connection between "
        "port and camera.\nPort: 1\n";
    const std::string com2 = missing(2, "/nonexistent/vexlarin-com2");
    // A file is no port: it is neither opened as one nor written to.
    const std::string notAPort = dir / "not-a-port";
    std::ofstream(notAPort) << "kept";
    PortMapping com3(3, notAPort);
    const std::vector<std::string> allMissing{missing(1, stable), com2,
                                              "COM3 (" + notAPort + "): not a serial device",
                                              missing(4, "/nonexistent/vexlarin-com4")};
    const ExitCase cases[] = {
        {{}, false, {}, 2, allMissing, false},
        // Only the port asked for is tried.
        {{"--port", "2"}, false, {}, 2, {"vexlarin-list: no port opened: " + com2 + "\n"}, true},
        // The page is refused before any port is touched, even probed: none of them opens.
        {{"--page", "10"}, false, {}, 3, {refused("10")}, true},
        {{"--page", "Fun"}, false, {}, 3, {refused("Fun")}, true},
        {{"--page=zz"}, false, {}, 3, {refused("zz")}, true},
        {{"--port=1", "--page=7"}, true, {"--silent-after", "0"}, 4, {silent}, true},
        {{"--port", "1", "--page", "b"}, true, {"--silent-after", "781"}, 5, {silent}, false},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Unplug();
        if (c.camera) {
            Plug(c.faults);
        }
        const ChildOutcome outcome = Run(c.args);
        EXPECT_EQ(outcome.code, c.code);
        for (const std::string& part : c.errHas) {
            EXPECT_NE(outcome.err.find(part), std::string::npos) << outcome.err;
        }
        if (c.errIsExactly) {
            EXPECT_EQ(outcome.err, c.errHas[0]);
        }
        if (c.code == 5) {
            // Silent after the ping and 15 lines of 52 exchanges: only the last line fails.
            std::vector<std::string> page = PageLines(11);
            page[15] = "XXXX";
            ExpectPrinted(outcome.out, 'B', page);
            ExpectBlock(ReadFileText(file), 'B', page);
        } else {
            EXPECT_EQ(outcome.out, "");
            EXPECT_EQ(access(file.c_str(), F_OK), -1) << "nothing may be written";
            EXPECT_EQ(c.camera ? camera->Exchanges() : 0, c.code == 4 ? 1 : 0);
        }
    }
    EXPECT_EQ(ReadFileText(notAPort), "kept");
}

TEST_F(VexlarinList, DiskFillingMidLineKeepsEveryWholeLineBeforeItAndGivesItsOwnCode) {
    Plug();
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    // The limit falls inside data line 5 whatever the date (a header takes 33 to 42 bytes,
    // a data line 56): the earlier content, the header and lines 0 to 4 are whole, line 5 is
    // cut back to nothing, so that no torn line is left for the next block to be glued onto.
    constexpr long kLimit = 6 + 42 + 56 * 5 + 20;
    const ChildOutcome full = Run({"--port", "1"}, kLimit);
    EXPECT_EQ(full.code, 6);
    ExpectPrinted(full.out, '0', PageLines(0));  // the page is still read and shown
    const std::string message =
        "Application Error: WARNING:  Vexlarin.txt Failed with the "
        "following error: \nFile too large\nPort: 1\n";
    EXPECT_NE(full.err.find(message), std::string::npos) << full.err;
    EXPECT_EQ(full.err.find("Application Error"), full.err.rfind("Application Error"));
    EXPECT_NE(full.err.find(kNotWritten), std::string::npos);

    const std::string cut = ReadFileText(file);
    const std::size_t headerEnd = cut.find("\r\n", 6) + 2;
    ASSERT_EQ(cut.substr(0, 6), "kept\r\n");
    EXPECT_TRUE(IsHeader(cut.substr(6, headerEnd - 8), '0')) << cut;
    EXPECT_EQ(cut.substr(headerEnd), Output(PageLines(0), "\r\n").substr(0, 56 * 5));

    // Room again: the next run appends a whole block behind what is there.
    EXPECT_EQ(Run({"--port", "1"}).code, 0);
    const std::string after = ReadFileText(file);
    ASSERT_EQ(after.substr(0, cut.size()), cut);
    ExpectBlock(after.substr(cut.size()), '0', PageLines(0));
}

// The whole memory in one run, from a device given by its path: a block per page in page order
// in the file asked for, and the bytes as an image that equals the camera's byte for byte.
TEST_F(VexlarinList, WholeMemoryIntoAFileOfItsOwnAndAnImageEqualToTheCamerasMemory) {
    std::string memory(4096, '\0');
    for (std::size_t k = 0; k < memory.size(); ++k) {
        memory[k] = static_cast<char>((k * 37 + 11) % 256);
    }
    std::ofstream(dir / "memory.bin", std::ios::binary) << memory;
    Plug({"--image", dir / "memory.bin"});
    const ChildOutcome outcome =
        Run({"--device", stable, "--page", "all", "--file", "pages.txt", "--image", "read.bin"});
    EXPECT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(ReadFileText(dir / "read.bin"), memory);
    EXPECT_EQ(access(file.c_str(), F_OK), -1) << "Vexlarin.txt written";

    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(ReadFileText(dir / "pages.txt"), lines));
    ASSERT_EQ(lines.size(), 16u * 18);
    const char* const digits = "0123456789ABCDEF";
    for (int p = 0; p < 16; ++p) {
        SCOPED_TRACE(p);
        EXPECT_TRUE(IsHeader(lines[18 * p], digits[p])) << lines[18 * p];
        for (int r = 0; r < 16; ++r) {
            std::string line = std::string(1, digits[r]) + "0    ";
            for (int i = 0; i < 16; ++i) {
                const auto byte = static_cast<unsigned char>(memory[256 * p + 16 * r + i]);
                line += {digits[byte / 16], digits[byte % 16], ' '};
            }
            EXPECT_EQ(lines[18 * p + 1 + r], line);
        }
        EXPECT_EQ(lines[18 * p + 17], "");
        const std::string progress = std::string("vexlarin-list: page ") + digits[p] + " (" +
                                     std::to_string(p + 1) + " of 16)\n";
        EXPECT_NE(outcome.err.find(progress), std::string::npos) << outcome.err;
    }
    EXPECT_NE(outcome.err.find("Finished - added to pages.txt\n"), std::string::npos);
}

TEST_F(VexlarinList, LostOutputIsReportedAndClosedStreamsKeepTheLineClean) {
    Plug();
    // Closed at start, standard output and error were where the probed port landed, and the
    // status texts went down the line as commands. Now only output that is lost is news.
    const std::pair<const char*, const char*> cases[] = {{">&- 2>&-", nullptr},
                                                         {">/dev/full", "No space left on device"}};
    for (const auto& [redirect, reason] : cases) {
        SCOPED_TRACE(redirect);
        const std::size_t before = ReadFileText(file).size();
        const int exchanges = camera->Exchanges();
        const ChildOutcome outcome = RunChild(
            {"/bin/sh", "-c", std::string("exec \"$0\" ") + redirect, VEXLARIN_LIST}, InDir());
        EXPECT_EQ(outcome.code, 7);
        EXPECT_EQ(camera->Exchanges() - exchanges, 1 + 16 * 52) << "not only commands were sent";
        ExpectBlock(ReadFileText(file).substr(before), '0', PageLines(0));
        if (reason) {
            const std::string message =
                std::string("vexlarin-list: writing to standard output failed: ") + reason;
            EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
            EXPECT_EQ(outcome.err.find(message), outcome.err.rfind(message)) << "more than once";
        }
    }
}

TEST_F(VexlarinList, InterruptKeepsTheLinesWrittenSoFar) {
    Plug();
    ChildOptions options = InDir();
    options.stderrPath = "";
    ChildProcess child({VEXLARIN_LIST, "--port", "1"}, options);
    std::string line;
    for (int r = 0; r < 1 + 3; ++r) {  // the header and three lines
        ASSERT_TRUE(child.ReadLine(line));
    }
    child.Signal(SIGINT);
    const std::string rest = child.ReadRest();
    const std::string errors = child.ReadErrors();
    EXPECT_EQ(child.Wait(), 130);
    const int shown = 3 + static_cast<int>(std::count(rest.begin(), rest.end(), '\n'));
    ASSERT_LT(shown, 16);
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(ReadFileText(file), lines));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(1 + shown));  // no closing empty line
    for (int r = 0; r < shown; ++r) {
        EXPECT_EQ(lines[1 + r], ExpectedLine(0, r));
    }
    EXPECT_EQ(errors.find("Application Error"), std::string::npos) << errors;
}

// What keeps a port off standard output and error in every program, whatever it opens first.
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

// vexlarin-list's signal intake, driven on this thread: a warning that comes once the user has
// stopped (the camera's port hanging up as the simulator is stopped by the same Ctrl-C) is not
// shown, whether the signal has been taken yet or not; a second signal ends the program.
TEST(StopSignals, NoWarningOnceTheUserStoppedAndASecondSignalEndsAtOnce) {
    platform::StopSignals stop;
    std::vector<std::string> shown;
    const auto warn = [&](const char* text) {
        stop.UnlessStopping([&] { shown.push_back(text); });
    };
    warn("before");
    raise(SIGINT);  // blocked: pending until taken
    warn("pending");
    int stopped = 0;
    EXPECT_EQ(stop.TakeNext([&](int signal) { stopped = signal; }), SIGINT);
    EXPECT_EQ(stopped, SIGINT);
    EXPECT_EQ(stop.Received(), SIGINT);
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
