// The List command end to end, against the simulated camera on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>

#include "listing/list_command.h"
#include "listing_support.h"
#include "platform/serial_port.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

const char kTimeOut[] =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";
const char kAdded[] = "Finished - added to Vexlarin.txt";
const char kNotWritten[] = "Finished - could not write Vexlarin.txt";

std::string Progress(int line) {
    char text[64];
    std::snprintf(text, sizeof text, "Please wait - reading address  %X0 - %XF...", line, line);
    return text;
}

// A front end that keeps the list and the status as the window would and records every
// call, with the number of exchanges the camera had seen when a status text was shown.
class RecordingView : public IListView {
public:
    std::string PageFieldText() override { return page; }
    void SetStatus(const std::string& text) override {
        status = text;
        events.push_back("status " + text + " @" +
                         std::to_string(camera ? camera->Exchanges() : -1));
        if (onStatus) {
            onStatus(text);
        }
    }
    void ResetLines() override {
        lines.clear();
        events.push_back("reset");
    }
    void AddLine(const std::string& text) override {
        lines.push_back(text);
        events.push_back("line " + text);
    }
    void EnableListButton(bool enable) override {
        events.push_back(enable ? "button on" : "button off");
    }

    std::string page = "0";
    std::vector<std::string> lines{"earlier entry"};
    std::string status = "earlier status";
    std::vector<std::string> events;
    const SimulatedCamera* camera = nullptr;
    std::function<void(const std::string&)> onStatus;
};

// The calls of a listing whose lines all came back as `lines`.
std::vector<std::string> ListingEvents(const std::vector<std::string>& lines,
                                       const std::string& closing) {
    std::vector<std::string> events{"reset", "button off"};
    for (int r = 0; r < 16; ++r) {
        // Line r's status comes after the ping and r lines of 52 exchanges each.
        events.push_back("status " + Progress(r) + " @" + std::to_string(1 + 52 * r));
        events.push_back("line " + lines[r]);
    }
    events.push_back("status " + closing + " @" + std::to_string(1 + 52 * 16));
    events.push_back("button on");
    return events;
}

std::vector<std::string> PageLines(int page) {
    std::vector<std::string> lines;
    for (int r = 0; r < 16; ++r) {
        lines.push_back(ExpectedLine(page, r));
    }
    return lines;
}

bool IsHeader(const std::string& line, const std::string& page) {
    static const std::regex header(
        "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
        "(January|February|March|April|May|June|July|August|September|October|November|"
        "December) [0-3][0-9], [0-9]{4}   Page = (.)");
    std::smatch match;
    return std::regex_match(line, match, header) && match[3] == page;
}

// The file's blocks: checks the CR LF ends and returns the lines.
std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    EXPECT_TRUE(SplitCrLf(ReadFileText(path), lines)) << "a line not ending in CR LF";
    return lines;
}

class ListCommandTest : public ::testing::Test {
protected:
    void StartCamera(const std::vector<std::string>& options = {}) {
        camera = std::make_unique<SimulatedCamera>(dir / "camsim.log", options);
        com1 = std::make_unique<PortMapping>(1, camera->DevicePath());
        view.camera = camera.get();
        // As the window leaves it after start: the current port open.
        ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    }
    ListResult List(const std::string& page = "0") {
        view.page = page;
        view.events.clear();
        return ListPage(link, 1, view, file);
    }

    TempDir dir;
    std::string file = dir / "Vexlarin.txt";
    AllPortsMissing noPorts;
    std::unique_ptr<SimulatedCamera> camera;
    std::unique_ptr<PortMapping> com1;
    WarningRecorder warnings;
    CSerialLink link{&warnings};
    RecordingView view;
};

TEST_F(ListCommandTest, CompleteListingsAppendOneBlockEach) {
    StartCamera();
    ASSERT_EQ(List(), ListResult::Complete);
    EXPECT_EQ(view.events, ListingEvents(PageLines(0), kAdded));
    EXPECT_EQ(view.lines, PageLines(0));  // the earlier entry is gone
    EXPECT_EQ(ExpectedLine(0, 0),
              "00    02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 ");  // the formula itself

    ASSERT_EQ(List(), ListResult::Complete);
    EXPECT_EQ(warnings.Count(), 0u);
    const auto lines = FileLines(file);
    ASSERT_EQ(lines.size(), 36u);
    for (int block = 0; block < 2; ++block) {
        EXPECT_TRUE(IsHeader(lines[18 * block], "0")) << lines[18 * block];
        for (int r = 0; r < 16; ++r) {
            EXPECT_EQ(lines[18 * block + 1 + r], ExpectedLine(0, r));
        }
        EXPECT_EQ(lines[18 * block + 17], "");
    }
}

TEST_F(ListCommandTest, PageIsTheFirstCharacterOfTheFieldInUppercase) {
    StartCamera();
    ASSERT_EQ(List("12"), ListResult::Complete);
    ASSERT_EQ(List("a"), ListResult::Complete);
    const auto lines = FileLines(file);
    ASSERT_EQ(lines.size(), 36u);
    EXPECT_TRUE(IsHeader(lines[0], "1")) << lines[0];
    EXPECT_TRUE(IsHeader(lines[18], "A")) << lines[18];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 17), PageLines(1));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 19, lines.begin() + 35), PageLines(10));
    EXPECT_EQ(warnings.Count(), 0u);
}

TEST_F(ListCommandTest, FieldWithoutAHexDigitIsRefusedBeforeAnythingHappens) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"g1", "g"}, {"G", "G"}, {" 1", " "}, {"-", "-"}, {"\xC3\xA9", "\xC3\xA9"}};
    for (const auto& [field, shown] : cases) {
        SCOPED_TRACE(std::string("field \"") + field + "\"");
        WarningRecorder recorder;
        link.SetWarningSink(&recorder);
        EXPECT_EQ(List(field), ListResult::PageRefused);
        ASSERT_EQ(recorder.Count(), 1u);
        EXPECT_EQ(recorder.Texts()[0],
                  std::string("WARNING:  Enter new value.  Failed with the following error: \n"
                              "No recognized symbol: ") +
                      shown + "\nPort: 0\n");
        EXPECT_TRUE(view.events.empty());
        EXPECT_FALSE(link.IsPortOpen());  // not even the port was touched
        struct stat info {};
        EXPECT_NE(stat(file.c_str(), &info), 0);
    }
    link.SetWarningSink(&warnings);
}

TEST_F(ListCommandTest, SilentCameraChangesNothing) {
    StartCamera({"--silent-after", "0"});
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    EXPECT_EQ(List(), ListResult::NoAnswer);
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeOut});
    EXPECT_TRUE(view.events.empty());  // status, list and button untouched
    EXPECT_EQ(view.lines, std::vector<std::string>{"earlier entry"});
    EXPECT_EQ(ReadFileText(file), "kept\r\n");
    EXPECT_EQ(camera->Exchanges(), 1);  // the ping, and nothing after it
    EXPECT_TRUE(link.IsPortOpen());     // re-opened
}

TEST_F(ListCommandTest, CameraFallingSilentGivesXxxxForEachLaterLine) {
    // Answers the ping, lines 0 to 13 and ten exchanges of line 14.
    StartCamera({"--silent-after", std::to_string(1 + 52 * 14 + 10)});
    EXPECT_EQ(List(), ListResult::LinesFailed);
    EXPECT_EQ(warnings.Texts(), (std::vector<std::string>{kTimeOut, kTimeOut}));
    auto expected = PageLines(0);
    expected[14] = expected[15] = "XXXX";
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(view.status, kAdded);
    const auto lines = FileLines(file);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 17), expected);
    EXPECT_EQ(lines[17], "");
}

TEST_F(ListCommandTest, FileThatCannotBeWrittenStillListsThePage) {
    StartCamera();
    ASSERT_EQ(mkdir(file.c_str(), 0755), 0);  // fails to open even for root
    EXPECT_EQ(List(), ListResult::FileNotWritten);
    EXPECT_EQ(view.events, ListingEvents(PageLines(0), kNotWritten));
    ASSERT_EQ(warnings.Count(), 1u);
    EXPECT_EQ(
        warnings.Texts()[0],
        "WARNING:  Vexlarin.txt Failed with the following error: \nIs a directory\nPort: 1\n");

    WarningRecorder full;
    link.SetWarningSink(&full);
    view.page = "0";
    view.events.clear();
    EXPECT_EQ(ListPage(link, 1, view, "/dev/full"), ListResult::FileNotWritten);
    EXPECT_EQ(view.lines, PageLines(0));
    EXPECT_EQ(view.status, kNotWritten);
    ASSERT_EQ(full.Count(), 1u);
    EXPECT_NE(full.Texts()[0].find("Vexlarin.txt Failed with the following error: \n"
                                   "No space left on device\n"),
              std::string::npos);
    link.SetWarningSink(&warnings);
}

TEST_F(ListCommandTest, CancelStopsAtOnceAndKeepsWhatWasWritten) {
    StartCamera();
    view.onStatus = [this](const std::string& text) {
        if (text == Progress(5)) {
            link.Cancel();  // the window closes while line 5 is being read
        }
    };
    EXPECT_EQ(List(), ListResult::Cancelled);
    EXPECT_EQ(warnings.Count(), 0u);
    auto expected = PageLines(0);
    expected.resize(5);
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(view.status, Progress(5));
    EXPECT_EQ(camera->Exchanges(), 1 + 52 * 5);  // no exchange after the cancel
    const auto lines = FileLines(file);
    ASSERT_EQ(lines.size(), 6u);  // header and lines 0 to 4, no closing line
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
}

TEST_F(ListCommandTest, ListAfterThePortHungUpAndCameBack) {
    // COM1 is a stable name for whatever terminal is plugged in, as /dev/serial/by-id is.
    const std::string stable = dir / "com1";
    StartCamera({"--link", stable});
    PortMapping mapped(1, stable);
    ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    view.camera = nullptr;
    camera->Stop();  // unplugged

    EXPECT_EQ(List(), ListResult::NoAnswer);
    EXPECT_FALSE(warnings.Texts().empty());
    EXPECT_EQ(warnings.Texts().back(), kTimeOut);
    EXPECT_TRUE(view.events.empty());

    SimulatedCamera back(dir / "camsim2.log", {"--link", stable});  // plugged in again
    view.camera = &back;
    const std::size_t before = warnings.Count();
    EXPECT_EQ(List(), ListResult::Complete);
    EXPECT_EQ(warnings.Count(), before);
    EXPECT_EQ(view.events, ListingEvents(PageLines(0), kAdded));
    EXPECT_EQ(FileLines(file).size(), 18u);
}

TEST_F(ListCommandTest, AdapterRepluggedBetweenListingsWorksAtTheNextPress) {
    const std::string stable = dir / "com1";
    StartCamera({"--link", stable});
    PortMapping mapped(1, stable);
    ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    view.camera = nullptr;
    camera->Stop();  // unplugged while no listing runs: the link still holds the old port

    SimulatedCamera back(dir / "camsim2.log", {"--link", stable});
    view.camera = &back;
    EXPECT_EQ(List(), ListResult::Complete);
    EXPECT_EQ(warnings.Count(), 0u);
    EXPECT_EQ(FileLines(file).size(), 18u);
}

}  // namespace
