// The listing file and the header's date text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "listing/list_command.h"
#include "listing/listing_file.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ListingFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexlarin-file-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_file = m_dir / "Vexlarin.txt";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    AllPortsMissing m_noPorts;
    WarningRecorder m_warnings;
    CSerialLink m_link{&m_warnings};
    fs::path m_dir;
    fs::path m_file;
};

TEST_F(ListingFileTest, CreatesTheFileAndEndsEveryLineInCrLf) {
    const mode_t oldMask = umask(022);
    {
        CListingFile file(m_file, m_link);
        file.WriteLine("Wednesday, March 01, 2000   Page = 0");
        file.WriteLine("");
        EXPECT_FALSE(file.Failed());
    }
    umask(oldMask);
    EXPECT_EQ(ReadFile(m_file), "Wednesday, March 01, 2000   Page = 0\r\n\r\n");
    struct stat info {};
    ASSERT_EQ(stat(m_file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(ListingFileTest, AppendsAfterEarlierContentAndOtherWriters) {
    {
        std::ofstream earlier(m_file, std::ios::binary);
        earlier << "kept\r\n";
    }
    CListingFile file(m_file, m_link);
    file.WriteLine("first");
    // Another program appends meanwhile: both survive, in order.
    {
        std::ofstream other(m_file, std::ios::binary | std::ios::app);
        other << "other\r\n";
    }
    // Each line is in the file as soon as it is written, before the close.
    EXPECT_EQ(ReadFile(m_file), "kept\r\nfirst\r\nother\r\n");
    file.WriteLine("second");
    file.Close();
    EXPECT_EQ(ReadFile(m_file), "kept\r\nfirst\r\nother\r\nsecond\r\n");
    EXPECT_FALSE(file.Failed());
}

TEST_F(ListingFileTest, TextEndsAtItsFirstZeroCharacter) {
    {
        CListingFile file(m_file, m_link);
        file.WriteLine(std::string("A0\0junk", 7));
    }
    EXPECT_EQ(ReadFile(m_file), "A0\r\n");
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

TEST(DateTextTest, EnglishNamesAndTwoDigitDayWhateverTheLocale) {
    // A non-English locale where the machine has one; at least the environment's, as the
    // window sets it.
    const char* locale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", ""}) {
        locale = std::setlocale(LC_ALL, name);
        if (locale) {
            break;
        }
    }
    SCOPED_TRACE(std::string("locale ") + (locale ? locale : "(none)"));

    EXPECT_EQ(DateText(LocalNoon(2000, 3, 1)), "Wednesday, March 01, 2000");
    EXPECT_EQ(DateText(LocalNoon(1999, 12, 31)), "Friday, December 31, 1999");
    EXPECT_EQ(DateText(LocalNoon(2024, 9, 9)), "Monday, September 09, 2024");
    EXPECT_EQ(DateText(LocalNoon(2026, 2, 28)), "Saturday, February 28, 2026");
    std::setlocale(LC_ALL, "C");
}

TEST(DateTextTest, EmptyWhenTheTimeHasNoLocalDate) {
    EXPECT_EQ(DateText(std::numeric_limits<std::time_t>::max()), "");
}

}  // namespace
