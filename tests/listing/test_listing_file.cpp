// The listing file and the header's date text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <ctime>
#include <fstream>
#include <limits>

#include "listing/list_command.h"
#include "listing/listing_file.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"
#include "support/warning_recorder.h"

namespace {

TEST(ListingFile, CreatedOrAppendedToWithEachLineInTheFileBeforeTheNext) {
    TempDir dir;
    AllPortsMissing noPorts;
    WarningRecorder warnings;
    CSerialLink link(&warnings);
    const std::string path = dir / "Vexlarin.txt";
    const mode_t oldMask = umask(022);
    {
        CListingFile file(path, link);
        file.WriteLine(std::string("A0\0junk", 7));  // the text ends at its first zero
        file.WriteLine("");
        EXPECT_FALSE(file.Failed());
    }
    umask(oldMask);
    EXPECT_EQ(ReadFileText(path), "A0\r\n\r\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    CListingFile file(path, link);
    file.WriteLine("first");
    // Another program appends meanwhile: both survive, in order, and each line is in the file
    // as soon as it is written.
    std::ofstream(path, std::ios::binary | std::ios::app) << "other\r\n";
    EXPECT_EQ(ReadFileText(path), "A0\r\n\r\nfirst\r\nother\r\n");
    file.WriteLine("second");
    file.Close();
    EXPECT_EQ(ReadFileText(path), "A0\r\n\r\nfirst\r\nother\r\nsecond\r\n");
    EXPECT_FALSE(file.Failed());
    EXPECT_EQ(warnings.Count(), 0u);
}

TEST(ListingFile, AnythingButARegularFileIsOneWarningAndGetsNothing) {
    TempDir dir;
    WarningRecorder warnings;
    CSerialLink link(&warnings);
    const std::string fifo = dir / "Vexlarin.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Without a reader the open would wait for one for good; with one, the lines would be gone.
    for (const bool withReader : {false, true}) {
        const int reader = withReader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
        {
            CListingFile file(fifo, link);
            file.WriteLine("line");
            EXPECT_TRUE(file.Failed());
        }
        if (reader >= 0) {
            char byte;
            EXPECT_EQ(read(reader, &byte, 1), 0) << "something was written";
            close(reader);
        }
    }
    EXPECT_EQ(warnings.Texts(),
              std::vector<std::string>(2,
                                       "WARNING:  Vexlarin.txt Failed with the following error: "
                                       "\nnot a regular file\nPort: 0\n"));
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
    // A non-English locale where the machine has one; at least the environment's, as the
    // window sets it.
    const char* locale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", ""}) {
        if ((locale = std::setlocale(LC_ALL, name)) != nullptr) {
            break;
        }
    }
    SCOPED_TRACE(std::string("locale ") + (locale ? locale : "(none)"));
    EXPECT_EQ(DateText(LocalNoon(2000, 3, 1)), "Wednesday, March 01, 2000");
    EXPECT_EQ(DateText(LocalNoon(1999, 12, 31)), "Friday, December 31, 1999");
    EXPECT_EQ(DateText(LocalNoon(2024, 9, 9)), "Monday, September 09, 2024");
    EXPECT_EQ(DateText(LocalNoon(2026, 2, 28)), "Saturday, February 28, 2026");
    std::setlocale(LC_ALL, "C");
    // A time without a local date gives no text rather than a wrong one.
    EXPECT_EQ(DateText(std::numeric_limits<std::time_t>::max()), "");
}

}  // namespace
