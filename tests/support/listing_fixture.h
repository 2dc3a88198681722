// The List command against the simulated camera: what a listing of its default memory shows,
// and a fixture with the camera on COM1 and the listing file in a fresh directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "support/pty_pair.h"
#include "support/simulated_camera.h"

inline const std::string kTimeOutWarning =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";
inline const std::string kAdded = "Finished - added to Vexlarin.txt";

inline std::string Progress(int line) {
    const char digit = "0123456789ABCDEF"[line];
    return std::string("Please wait - reading address  ") + digit + "0 - " + digit + "F...";
}

inline std::vector<std::string> PageLines(int page) {
    std::vector<std::string> lines;
    for (int r = 0; r < 16; ++r) {
        lines.push_back(ExpectedLine(page, r));
    }
    return lines;
}

// A header of page `page`: English names and a two-digit day, whatever the locale.
inline bool IsHeader(const std::string& line, char page) {
    const std::regex header(
        "(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day, (January|February|March|"
        "April|May|June|July|August|September|October|November|December) "
        "[0-3][0-9], [0-9]{4}   Page = " +
        std::string(1, page));
    return std::regex_match(line, header);
}

// Checks that `text` is one whole block of page `page` with the given data lines.
inline void ExpectBlock(const std::string& text, char page, const std::vector<std::string>& data) {
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(text, lines)) << "a line not ending in CR LF";
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_TRUE(IsHeader(lines[0], page)) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 17), data);
    EXPECT_EQ(lines[17], "");
}

// COM1 is a stable name (as /dev/serial/by-id is) for whichever simulated camera is plugged
// in.
class ListingTest : public ::testing::Test {
protected:
    void Plug(const std::vector<std::string>& options = {}) {
        camera.reset();  // its name goes with it
        std::vector<std::string> args{"--link", stable};
        args.insert(args.end(), options.begin(), options.end());
        camera =
            std::make_unique<SimulatedCamera>(dir / ("camsim" + std::to_string(++plugs)), args);
    }

    TempDir dir;
    const std::string stable = dir / "com1";
    const std::string file = dir / "Vexlarin.txt";
    AllPortsMissing noPorts;
    PortMapping com1{1, stable};
    std::unique_ptr<SimulatedCamera> camera;
    int plugs = 0;
};
