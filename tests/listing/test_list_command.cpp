// The List command in-process: the listing file, the header's date, and what only the window
// reaches (its page field, a link kept across listings); the rest is vexlarin-list's test.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <clocale>

#include "listing/list_command.h"
#include "listing/listing_file.h"
#include "platform/serial_port.h"
#include "support/listing_fixture.h"
#include "support/warning_recorder.h"

namespace {

using namespace std::chrono_literals;

TEST(ListingFile, AnythingButARegularFileIsOneWarningAndGetsNothing) {
    TempDir dir;
    WarningRecorder warnings;
    CSerialLink link(&warnings);
    const std::string fifo = dir / "Vexlarin.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // With a reader, the lines would be gone; without one, the open would wait for good.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    CListingFile file(fifo, link);
    file.WriteLine("line");
    EXPECT_TRUE(file.Failed());
    char byte;
    EXPECT_EQ(read(reader, &byte, 1), 0) << "something was written";
    close(reader);
    // Named as given: the directory may be what is wrong.
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{"WARNING:  " + fifo +
                                                         " Failed with the following error: "
                                                         "\nnot a regular file\nPort: 0\n"});
}

TEST(DateText, EnglishNamesAndTwoDigitDayWhateverTheLocale) {
    // A German locale of our own, as the window takes it from the environment.
    TempDir dir;
    ASSERT_EQ(
        RunChild({"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8", dir / "de_DE.UTF-8"}).code,
        0);
    ScopedEnv locales("LOCPATH", dir.Path());
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ScopedEnv utc("TZ", "UTC");  // the header's date is the local one
    tzset();
    EXPECT_EQ(DateText(1796644800), "Monday, December 07, 2026");  // noon, UTC
    std::setlocale(LC_ALL, "C");
}

// Only the page field: what a listing shows is vexlarin-list's test.
struct FieldOnly : IListView {
    std::string PageFieldText() override { return field; }
    void SetStatus(const std::string&) override {}
    void ResetLines() override {}
    void AddLine(const std::string&) override {}
    void EnableListButton(bool) override {}
    std::string field;
};

class ListCommand : public ListingTest {
protected:
    WarningRecorder warnings;
    CSerialLink link{&warnings};
};

TEST_F(ListCommand, FieldsFirstCharacterListedAndTheLinkFollowsTheCameraUnderItsName) {
    Plug({"--silent-after", "0"});
    ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    FieldOnly view;
    view.field = "f2";  // the first character, lowercase taken as uppercase
    EXPECT_EQ(ListPage(link, 1, view, file), ListResult::NoAnswer);
    // Each time another camera under the name: the link lets the old port go without a word.
    Plug();
    ASSERT_EQ(ListPage(link, 1, view, file), ListResult::Complete);
    const std::string first = ReadFileText(file);
    ExpectBlock(first, 'F', PageLines(15));
    Plug();
    view.field = "0";
    ASSERT_EQ(ListPage(link, 1, view, file), ListResult::Complete);
    ExpectBlock(ReadFileText(file).substr(first.size()), '0', PageLines(0));
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeOutWarning});
}

// The limit is on the silence before each reply byte, not on the whole reply. At 30 baud a
// byte takes 333 ms on the wire: the ping reply's first byte follows the command's three by
// one byte-time (1333 ms of silence), the others come 1167 + 333 = 1500 ms apart. A pause
// before the first byte as well would make its silence 2500 ms, over the 2000 ms limit.
TEST_F(ListCommand, EachReplyByteMayComeCloseToTheTimeOut) {
    Plug({"--baud", "30", "--pause", "1167"});
    ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    link.StartMonitor();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.PingCamera(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4000ms);
    EXPECT_EQ(warnings.Count(), 0u);
}

}  // namespace
