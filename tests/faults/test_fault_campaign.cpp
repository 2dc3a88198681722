// Everything a camera, a cable or a disk can do wrong, one fault at a time, against the
// simulated camera: the listing must end, with one message per failure, keep in the file all
// it wrote before the fault, and the next listing on the same link must work once the fault
// is gone (a sound camera plugged in under the same name).
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "support/listing_fixture.h"

namespace {

using Faults = std::vector<std::string>;

// Faults that keep the ping from ever passing: one time-out message, nothing written, the
// window's status, list and button never touched.
class PingFault : public ListingTest, public ::testing::WithParamInterface<Faults> {};

TEST_P(PingFault, EndsInOneTimeOutAndTheNextListingWorks) {
    Plug(GetParam());
    OpenCom1();
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    EXPECT_EQ(List(), ListResult::NoAnswer);
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeOutWarning});
    EXPECT_TRUE(view.events.empty());
    EXPECT_EQ(ReadFileText(file), "kept\r\n");
    EXPECT_EQ(camera->Exchanges(), 1) << "only the ping may have gone out";
    EXPECT_TRUE(link.IsPortOpen());  // re-opened
    Plug();
    ExpectNextListingComplete();
}

INSTANTIATE_TEST_SUITE_P(
    Camera, PingFault,
    ::testing::Values(Faults{"--silent-after", "0"},
                      // Three bytes, the right length, the wrong content.
                      Faults{"--garbage"},
                      // A wrong reply followed by more bytes than the reply buffer holds.
                      // (Behind the right reply, the ping would pass or not depending on
                      // whether the test looks before the first extra byte is stored.)
                      Faults{"--garbage", "--extra", "45"},
                      // The second reply byte comes well after the time-out.
                      Faults{"--pause", "2600"},
                      // A garbage byte every millisecond without end: the buffer fills, later
                      // bytes no longer wake the exchange, and the time-out ends it.
                      Faults{"--garbage-stream"}));

TEST_F(ListingTest, PausesUnderTheTimeOutOnlySlowTheReply) {
    // The limit is on the silence before each byte, not on the whole reply: a ping reply
    // spread over 3 s still passes.
    Plug({"--pause", "1500"});
    OpenCom1();
    link.StartMonitor();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.PingCamera(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(warnings.Count(), 0u);
}

// The camera answers the ping, lines 0 to 13 and ten exchanges of line 14, then falls silent
// or closes its terminal: a time-out and "XXXX" for each of the last two lines, and for the
// hang-up one message more, for the port that went away.
class MidPageFault : public ListingTest,
                     public ::testing::WithParamInterface<std::pair<const char*, std::size_t>> {};

TEST_P(MidPageFault, LeavesAWholeBlockAndTheLinkRecovers) {
    Plug({GetParam().first, std::to_string(1 + 52 * 14 + 10)});
    OpenCom1();
    EXPECT_EQ(List(), ListResult::LinesFailed);
    std::vector<std::string> expected = PageLines(0);
    expected[14] = expected[15] = "XXXX";
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(view.status, kAdded);
    ExpectBlock(ReadFileText(file), '0', expected);

    const std::vector<std::string> texts = warnings.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), kTimeOutWarning), 2);
    ASSERT_EQ(texts.size(), GetParam().second);
    for (const std::string& text : texts) {
        if (text != kTimeOutWarning) {
            EXPECT_NE(
                text.find(" Failed with the following error: \nInput/output error\nPort: 1\n"),
                std::string::npos)
                << text;
        }
    }
    Plug();  // the link re-opens the port by itself at the next listing
    ExpectNextListingComplete();
}

INSTANTIATE_TEST_SUITE_P(Camera, MidPageFault,
                         ::testing::Values(std::make_pair("--silent-after", 2u),
                                           std::make_pair("--hangup-after", 3u)));

TEST_F(ListingTest, PortGoneBetweenListingsAndBack) {
    Plug();
    OpenCom1();
    ASSERT_EQ(List(), ListResult::Complete);
    const std::string block = ReadFileText(file);
    Unplug();  // the name now leads nowhere
    EXPECT_EQ(List(), ListResult::NoAnswer);
    // The re-open fails silently; the monitor thread, with no port, reports each pass of its
    // loop; then the ping times out.
    const std::vector<std::string> texts = warnings.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), kTimeOutWarning);
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
        EXPECT_NE(texts[i].find(" Failed with the following error: \nBad file descriptor\n"),
                  std::string::npos)
            << texts[i];
    }
    EXPECT_TRUE(view.events.empty());
    EXPECT_EQ(ReadFileText(file), block);
    Plug();
    ExpectNextListingComplete();
}

// A disk filling mid-listing is vexlarin-list's case: a file-size limit needs a process.
TEST_F(ListingTest, ListingFileInTheWayAndBack) {
    Plug();
    OpenCom1();
    // A directory in the file's place cannot be opened, even by root: the page is still read
    // and shown, and the closing status says so.
    ASSERT_EQ(mkdir(file.c_str(), 0755), 0);
    EXPECT_EQ(List(), ListResult::FileNotWritten);
    EXPECT_EQ(view.events, ListingEvents(PageLines(0), kNotWritten));
    EXPECT_EQ(warnings.Texts(),
              std::vector<std::string>{"WARNING:  Vexlarin.txt Failed with the following error: "
                                       "\nIs a directory\nPort: 1\n"});
    ASSERT_EQ(rmdir(file.c_str()), 0);
    ExpectNextListingComplete();
}

}  // namespace
