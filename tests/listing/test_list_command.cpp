// The List command end to end, against the simulated camera on a pseudo-terminal. Faults of
// the camera, the port and the file are the fault campaign's.
#include <sys/stat.h>

#include <fstream>

#include "support/listing_fixture.h"

namespace {

class ListCommand : public ListingTest {
protected:
    void SetUp() override {
        Plug();
        OpenCom1();
    }
};

TEST_F(ListCommand, CompleteListingsAppendOneBlockEachBehindWhatWasThere) {
    // The memory formula the expectations use, worked out by hand for page 0 line 0.
    ASSERT_EQ(ExpectedLine(0, 0), "00    02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 ");
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    ASSERT_EQ(List(), ListResult::Complete);
    // Each status is shown before its line's first command reaches the camera.
    EXPECT_EQ(view.events, ListingEvents(PageLines(0), kAdded));
    EXPECT_EQ(view.lines, PageLines(0));  // the earlier entry is gone
    const std::string text = ReadFileText(file);
    ASSERT_EQ(text.substr(0, 6), "kept\r\n");
    ExpectBlock(text.substr(6), '0', PageLines(0));
    ExpectNextListingComplete();
    EXPECT_EQ(warnings.Count(), 0u);
}

TEST_F(ListCommand, PageIsTheFirstCharacterOfTheFieldInUppercase) {
    ASSERT_EQ(List("12"), ListResult::Complete);
    const std::string first = ReadFileText(file);
    ExpectBlock(first, '1', PageLines(1));
    ASSERT_EQ(List("a"), ListResult::Complete);
    ExpectBlock(ReadFileText(file).substr(first.size()), 'A', PageLines(10));
    EXPECT_EQ(warnings.Count(), 0u);
}

// No camera and no port open: the refusal must come before any port is touched.
TEST_F(ListingTest, FieldWithoutAHexDigitIsRefusedBeforeAnythingHappens) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"g1", "g"}, {"G", "G"}, {" 1", " "}, {"-", "-"}, {"\xC3\xA9", "\xC3\xA9"}};
    for (const auto& [field, shown] : cases) {
        SCOPED_TRACE(std::string("field \"") + field + "\"");
        WarningRecorder recorder;
        link.SetWarningSink(&recorder);
        EXPECT_EQ(List(field), ListResult::PageRefused);
        EXPECT_EQ(recorder.Texts(),
                  std::vector<std::string>{
                      std::string("WARNING:  Enter new value.  Failed with the following error: "
                                  "\nNo recognized symbol: ") +
                      shown + "\nPort: 0\n"});
        EXPECT_TRUE(view.events.empty());
        EXPECT_FALSE(link.IsPortOpen());
        struct stat info {};
        EXPECT_NE(stat(file.c_str(), &info), 0);
    }
    link.SetWarningSink(&warnings);
}

TEST_F(ListCommand, CancelStopsAtOnceAndKeepsWhatWasWritten) {
    view.onStatus = [this](const std::string& text) {
        if (text == Progress(5)) {
            link.Cancel();  // the window closes while line 5 is being read
        }
    };
    EXPECT_EQ(List(), ListResult::Cancelled);
    EXPECT_EQ(warnings.Count(), 0u);
    std::vector<std::string> read = PageLines(0);
    read.resize(5);
    EXPECT_EQ(view.lines, read);
    EXPECT_EQ(view.status, Progress(5));
    EXPECT_EQ(camera->Exchanges(), 1 + 52 * 5);  // no exchange after the cancel
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(ReadFileText(file), lines));
    ASSERT_EQ(lines.size(), 6u);  // header and lines 0 to 4, no closing line
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), read);
}

}  // namespace
