// The List command in-process against the simulated camera on a pseudo-terminal; its faults
// and exit codes are vexlarin-list's tests.
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "listing/list_command.h"
#include "platform/serial_port.h"
#include "support/listing_fixture.h"
#include "support/warning_recorder.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Records what the window would show, each status with the exchanges the camera had logged.
class RecordingView : public IListView {
public:
    std::string PageFieldText() override { return page; }
    void SetStatus(const std::string& text) override {
        shown.push_back(text + " @" + std::to_string(camera->Exchanges()));
    }
    void ResetLines() override {
        shown.push_back("reset");
        reset = Clock::now();
    }
    void AddLine(const std::string& text) override { shown.push_back(text); }
    void EnableListButton(bool enable) override { shown.push_back(enable ? "on" : "off"); }

    std::string page;
    std::vector<std::string> shown;
    const SimulatedCamera* camera = nullptr;
    Clock::time_point reset;
};

class ListCommand : public ListingTest {
protected:
    ListResult List(const std::string& field) {
        view.page = field;
        view.camera = camera.get();
        view.shown.clear();
        return ListPage(link, 1, view, file);
    }
    // A complete listing of page `page` behind what the file held, without a warning: each
    // status shown before its line's first command, a second after the ping.
    void ExpectComplete(const std::string& field, int page) {
        const std::string before = ReadFileText(file);
        const auto start = Clock::now();
        ASSERT_EQ(List(field), ListResult::Complete);
        EXPECT_GE(view.reset - start, 1000ms) << "no pause between ping and first line";
        std::vector<std::string> shown{"reset", "off"};
        for (int r = 0; r < 16; ++r) {
            shown.push_back(Progress(r) + " @" + std::to_string(1 + 52 * r));
            shown.push_back(ExpectedLine(page, r));
        }
        shown.push_back(kAdded + " @" + std::to_string(1 + 52 * 16));
        shown.push_back("on");
        EXPECT_EQ(view.shown, shown);
        const std::string after = ReadFileText(file);
        ASSERT_EQ(after.substr(0, before.size()), before) << "earlier content was changed";
        ExpectBlock(after.substr(before.size()), "0123456789ABCDEF"[page], PageLines(page));
        EXPECT_EQ(warnings.Count(), 0u);
    }

    WarningRecorder warnings;
    CSerialLink link{&warnings};
    RecordingView view;
};

TEST_F(ListCommand, ListingsAppendABlockEachAndFollowTheCameraUnderTheSameName) {
    Plug();
    ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    ExpectComplete("f2", 15);  // the field's first character, lowercase taken as uppercase
    Plug();                    // another camera: the port the link holds has hung up
    ExpectComplete("0", 0);
    EXPECT_EQ(ReadFileText(file).substr(0, 6), "kept\r\n");
}

// No camera and no port open: the refusal must come before any port is touched.
TEST_F(ListCommand, FieldWithoutAHexDigitIsRefusedBeforeAnythingHappens) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"g1", "g"}, {" 1", " "}, {"\xC3\xA9", "\xC3\xA9"}};
    for (const auto& [field, shown] : cases) {
        SCOPED_TRACE(std::string("field \"") + field + "\"");
        EXPECT_EQ(List(field), ListResult::PageRefused);
        EXPECT_EQ(warnings.Texts().back(),
                  std::string("WARNING:  Enter new value.  Failed with the following error: "
                              "\nNo recognized symbol: ") +
                      shown + "\nPort: 0\n");
        EXPECT_TRUE(view.shown.empty());
        EXPECT_FALSE(link.IsPortOpen());
    }
    EXPECT_EQ(warnings.Count(), std::size(cases));
    EXPECT_EQ(access(file.c_str(), F_OK), -1);
}

// The limit is on the silence before each reply byte, not on the whole reply. At 30 baud a
// byte takes 333 ms on the wire: the ping reply's first byte follows the command's three by
// one byte-time (1333 ms of silence), the others come 1167 + 333 = 1500 ms apart. A pause
// before the first byte as well would make its silence 2500 ms, over the 2000 ms limit.
TEST_F(ListCommand, EachReplyByteMayComeCloseToTheTimeOut) {
    Plug({"--baud", "30", "--pause", "1167"});
    ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    link.StartMonitor();
    const auto start = Clock::now();
    EXPECT_EQ(link.PingCamera(), 0);
    EXPECT_GE(Clock::now() - start, 4000ms);
    EXPECT_EQ(warnings.Count(), 0u);
}

}  // namespace
