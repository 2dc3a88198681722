// The listing file and the header's date text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <ctime>
#include <limits>

#include "listing/list_command.h"
#include "listing/listing_file.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"
#include "support/warning_recorder.h"

namespace {

TEST(ListingFile, AnythingButARegularFileIsOneWarningAndGetsNothing) {
    TempDir dir;
    WarningRecorder warnings;
    CSerialLink link(&warnings);
    const std::string fifo = dir / "Vexlarin.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // With a reader, the lines would be gone; without one, the open would wait for good.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    {
        CListingFile file(fifo, link);
        file.WriteLine("line");
        EXPECT_TRUE(file.Failed());
    }
    char byte;
    EXPECT_EQ(read(reader, &byte, 1), 0) << "something was written";
    close(reader);
    EXPECT_EQ(warnings.Texts(),
              std::vector<std::string>{"WARNING:  Vexlarin.txt Failed with the following error: "
                                       "\nnot a regular file\nPort: 0\n"});
}

// Local noon of a calendar day, so that no time zone moves it to another date.
std::time_t LocalNoon(int year, int month, int day) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = 12;
    date.tm_isdst = -1;
    return std::mktime(&date);
}

TEST(DateText, EnglishNamesAndTwoDigitDayWhateverTheLocale) {
    // A German locale of our own, as the window takes it from the environment.
    TempDir dir;
    ASSERT_EQ(
        RunChild({"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8", dir / "de_DE.UTF-8"}).code,
        0);
    ScopedEnv locales("LOCPATH", dir.Path());
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(DateText(LocalNoon(2000, 3, 1)), "Wednesday, March 01, 2000");
    EXPECT_EQ(DateText(LocalNoon(2026, 12, 7)), "Monday, December 07, 2026");
    std::setlocale(LC_ALL, "C");
    // A time without a local date gives no text rather than a wrong one.
    EXPECT_EQ(DateText(std::numeric_limits<std::time_t>::max()), "");
}

}  // namespace
