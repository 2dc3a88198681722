// Everything a camera, a cable or a disk can do wrong, one fault at a time, against the
// simulated camera: the listing must end, with one message per failure, keep in the file all
// it wrote before the fault, and the next listing on the same link must work once the fault
// is gone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "listing/list_command.h"
#include "listing/listing_support.h"
#include "platform/serial_port.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

const char kTimeOut[] =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";

class RecordingView : public IListView {
public:
    std::string PageFieldText() override { return "0"; }
    void SetStatus(const std::string& text) override { status = text; }
    void ResetLines() override { lines.clear(); }
    void AddLine(const std::string& text) override { lines.push_back(text); }
    void EnableListButton(bool) override {}

    std::vector<std::string> lines;
    std::string status;
};

std::vector<std::string> PageLines() {
    std::vector<std::string> lines;
    for (int r = 0; r < 16; ++r) {
        lines.push_back(ExpectedLine(0, r));
    }
    return lines;
}

bool IsHeader(const std::string& line) {
    static const std::regex header("[A-Z][a-z]+day, [A-Z][a-z]+ [0-3][0-9], [0-9]{4}   Page = 0");
    return std::regex_match(line, header);
}

// Checks that `text` is one whole block of page 0 with the given data lines.
void ExpectBlock(const std::string& text, const std::vector<std::string>& data) {
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(text, lines)) << "a line not ending in CR LF";
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_TRUE(IsHeader(lines[0])) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 17), data);
    EXPECT_EQ(lines[17], "");
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// COM1 is a stable name (as /dev/serial/by-id is) for whichever simulated camera is plugged
// in; the link keeps its port across the faults, as the window does.
class FaultCampaign : public ::testing::Test {
protected:
    void Plug(const std::vector<std::string>& faults = {}) {
        camera.reset();  // unplugged first: its name goes with it
        std::vector<std::string> options{"--link", stable};
        options.insert(options.end(), faults.begin(), faults.end());
        camera =
            std::make_unique<SimulatedCamera>(dir / ("camsim" + std::to_string(++plugs)), options);
    }
    void OpenAtStart() { ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512)); }
    ListResult List() { return ListPage(link, 1, view, file); }

    // Once the fault is gone: a complete listing appended behind what the file held, and not a
    // message more.
    void ExpectNextListingComplete() {
        const std::string before = ReadFileText(file);
        const std::size_t messages = warnings.Count();
        ASSERT_EQ(List(), ListResult::Complete);
        EXPECT_EQ(warnings.Count(), messages) << warnings.Texts().back();
        EXPECT_EQ(view.lines, PageLines());
        EXPECT_EQ(view.status, "Finished - added to Vexlarin.txt");
        const std::string after = ReadFileText(file);
        ASSERT_EQ(after.substr(0, before.size()), before) << "earlier content was changed";
        ExpectBlock(after.substr(before.size()), PageLines());
    }

    TempDir dir;
    const std::string stable = dir / "com1";
    const std::string file = dir / "Vexlarin.txt";
    AllPortsMissing noPorts;
    PortMapping com1{1, stable};
    std::unique_ptr<SimulatedCamera> camera;
    int plugs = 0;
    WarningRecorder warnings;
    CSerialLink link{&warnings};
    RecordingView view;
};

// Faults that keep the ping from ever passing: one time-out message, nothing written, the
// list and the status as they were.
class PingFault : public FaultCampaign, public ::testing::WithParamInterface<const char*> {};

TEST_P(PingFault, EndsInOneTimeOutAndTheNextListingWorks) {
    std::vector<std::string> faults;
    std::istringstream words(GetParam());
    for (std::string word; words >> word;) {
        faults.push_back(word);
    }
    Plug(faults);
    OpenAtStart();
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    view.lines = {"earlier"};

    EXPECT_EQ(List(), ListResult::NoAnswer);
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeOut});
    EXPECT_EQ(view.lines, std::vector<std::string>{"earlier"});
    EXPECT_EQ(ReadFileText(file), "kept\r\n");
    EXPECT_EQ(camera->Exchanges(), 1) << "only the ping may have gone out";
    EXPECT_TRUE(link.IsPortOpen());

    // A sound camera in its place, and COM1 selected again (the link still holds the port of
    // the one unplugged).
    Plug();
    OpenAtStart();
    ExpectNextListingComplete();
}

INSTANTIATE_TEST_SUITE_P(Faults, PingFault,
                         ::testing::Values(
                             // Three bytes, the right length, the wrong content.
                             "--garbage",
                             // The right reply followed by more bytes than the reply buffer holds.
                             "--extra 45",
                             // The second reply byte comes well after the time-out.
                             "--pause 2600",
                             // A garbage byte every millisecond without end: the buffer fills,
                             // later bytes no longer wake the exchange, and the time-out ends it.
                             "--garbage-stream"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c != '\0'; ++c) {
                                 if (std::isalnum(static_cast<unsigned char>(*c))) {
                                     name += *c;
                                 }
                             }
                             return name;
                         });

TEST_F(FaultCampaign, PausesUnderTheTimeOutOnlySlowTheReply) {
    // The limit is on the silence before each byte, not on the whole reply: a ping reply
    // spread over 3 s still passes.
    Plug({"--pause", "1500"});
    OpenAtStart();
    link.StartMonitor();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.PingCamera(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(warnings.Count(), 0u);
    Plug();
    OpenAtStart();  // also ends the monitor thread, as a listing does
    ExpectNextListingComplete();
}

TEST_F(FaultCampaign, CameraHangingUpMidPageLeavesAWholeBlockAndTheLinkRecovers) {
    // It answers the ping, lines 0 to 13 and ten exchanges of line 14, then closes its
    // terminal at the next command.
    Plug({"--hangup-after", std::to_string(1 + 52 * 14 + 10)});
    OpenAtStart();
    EXPECT_EQ(List(), ListResult::LinesFailed);

    // One message for the port that went away, one time-out for each line it cost.
    const std::vector<std::string> texts = warnings.Texts();
    ASSERT_EQ(texts.size(), 3u);
    std::size_t timeOuts = 0;
    for (const std::string& text : texts) {
        if (text == kTimeOut) {
            ++timeOuts;
        } else {
            EXPECT_NE(
                text.find(" Failed with the following error: \nInput/output error\nPort: 1\n"),
                std::string::npos)
                << text;
        }
    }
    EXPECT_EQ(timeOuts, 2u);
    std::vector<std::string> expected = PageLines();
    expected[14] = expected[15] = "XXXX";
    EXPECT_EQ(view.lines, expected);
    ExpectBlock(ReadFileText(file), expected);

    // Plugged in again: the link re-opens the port by itself at the next listing.
    Plug();
    ExpectNextListingComplete();
}

TEST_F(FaultCampaign, ListingFileInTheWayOrOnAFullDiskAndBack) {
    Plug();
    OpenAtStart();
    // A directory in the file's place cannot be opened, even by root.
    ASSERT_EQ(mkdir(file.c_str(), 0755), 0);
    EXPECT_EQ(List(), ListResult::FileNotWritten);
    EXPECT_EQ(view.lines, PageLines());
    EXPECT_EQ(view.status, "Finished - could not write Vexlarin.txt");
    EXPECT_EQ(warnings.Texts(),
              std::vector<std::string>{"WARNING:  Vexlarin.txt Failed with the following error: "
                                       "\nIs a directory\nPort: 1\n"});
    ASSERT_EQ(rmdir(file.c_str()), 0);
    ExpectNextListingComplete();

    // The file's name leads to a full disk: one message, whatever number of writes fail.
    const std::string kept = ReadFileText(file);
    ASSERT_EQ(rename(file.c_str(), (dir / "kept.txt").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", file.c_str()), 0);
    const std::size_t before = warnings.Count();
    EXPECT_EQ(List(), ListResult::FileNotWritten);
    EXPECT_EQ(view.lines, PageLines());
    ASSERT_EQ(warnings.Count(), before + 1);
    EXPECT_NE(warnings.Texts().back().find("Vexlarin.txt Failed with the following error: \n"
                                           "No space left on device\n"),
              std::string::npos)
        << warnings.Texts().back();
    ASSERT_EQ(unlink(file.c_str()), 0);
    ASSERT_EQ(rename((dir / "kept.txt").c_str(), file.c_str()), 0);
    ExpectNextListingComplete();
    EXPECT_EQ(ReadFileText(file).substr(0, kept.size()), kept);
}

// vexlarin-list as a script runs it, in the temporary directory.
class ListerFaults : public FaultCampaign {
protected:
    struct Outcome {
        int code = -1;
        std::string out;
        std::string err;
    };
    Outcome RunLister(long fileSizeLimit = -1) {
        ChildProcess::Options options;
        options.directory = dir.Path();
        options.stderrPath = "";
        options.fileSizeLimit = fileSizeLimit;
        ChildProcess child({VEXLARIN_LIST, "--port", "1"}, options);
        Outcome outcome;
        outcome.out = child.ReadRest();
        outcome.code = child.Wait();
        outcome.err = child.ReadErrors();
        return outcome;
    }
    static std::string PageOutput() {
        std::string out;
        for (const std::string& line : PageLines()) {
            out += line + "\n";
        }
        return out;
    }
};

TEST_F(ListerFaults, PortGoneBetweenListingsAndBack) {
    Plug();
    const Outcome first = RunLister();
    ASSERT_EQ(first.code, 0) << first.err;
    const std::string block = ReadFileText(file);

    camera.reset();  // unplugged: the name leads nowhere
    const Outcome gone = RunLister();
    EXPECT_EQ(gone.code, 2);
    EXPECT_EQ(gone.out, "");
    EXPECT_EQ(Occurrences(gone.err, "no port opened"), 1u) << gone.err;
    EXPECT_NE(gone.err.find("COM1 (" + stable + "): No such file or directory"), std::string::npos)
        << gone.err;
    EXPECT_EQ(ReadFileText(file), block);

    Plug();
    const Outcome back = RunLister();
    EXPECT_EQ(back.code, 0) << back.err;
    EXPECT_EQ(back.out, PageOutput());
    EXPECT_EQ(Occurrences(back.err, "Application Error"), 0u) << back.err;
    const std::string after = ReadFileText(file);
    ASSERT_EQ(after.substr(0, block.size()), block);
    ExpectBlock(after.substr(block.size()), PageLines());
}

TEST_F(ListerFaults, DiskFullingMidLineKeepsEveryByteBeforeIt) {
    Plug();
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    // The limit falls inside data line 5 whatever the date (a header takes 33 to 42 bytes,
    // a data line 56): the earlier content, the header and lines 0 to 4 are whole, line 5 is
    // cut where the disk filled.
    constexpr long kLimit = 6 + 42 + 56 * 5 + 20;
    const Outcome full = RunLister(kLimit);
    EXPECT_EQ(full.code, 6);
    EXPECT_EQ(full.out, PageOutput()) << "the page is still read and shown";
    EXPECT_EQ(Occurrences(full.err, "Application Error"), 1u) << full.err;
    EXPECT_NE(full.err.find("Vexlarin.txt Failed with the following error: \nFile too large\n"),
              std::string::npos)
        << full.err;
    EXPECT_NE(full.err.find("Finished - could not write Vexlarin.txt"), std::string::npos);

    const std::string cut = ReadFileText(file);
    ASSERT_EQ(cut.size(), static_cast<std::size_t>(kLimit));
    ASSERT_EQ(cut.substr(0, 6), "kept\r\n");
    const std::size_t headerEnd = cut.find("\r\n", 6);
    ASSERT_NE(headerEnd, std::string::npos);
    EXPECT_TRUE(IsHeader(cut.substr(6, headerEnd - 6))) << cut;
    std::string written = cut.substr(0, headerEnd + 2);
    for (const std::string& line : PageLines()) {
        written += line + "\r\n";
    }
    EXPECT_EQ(cut, written.substr(0, cut.size()));

    // Room again: the next listing appends a whole block behind what is there.
    const Outcome next = RunLister();
    EXPECT_EQ(next.code, 0) << next.err;
    const std::string after = ReadFileText(file);
    ASSERT_EQ(after.substr(0, cut.size()), cut);
    ExpectBlock(after.substr(cut.size()), PageLines());
}

}  // namespace
