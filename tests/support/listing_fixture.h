// The List command in-process against the simulated camera: a front end that records what it
// is shown, and a fixture with the camera on COM1 and the listing file in a fresh directory.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>

#include "listing/list_command.h"
#include "platform/serial_port.h"
#include "support/pty_pair.h"
#include "support/simulated_camera.h"
#include "support/warning_recorder.h"

inline const std::string kTimeOutWarning =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";
inline const std::string kAdded = "Finished - added to Vexlarin.txt";
inline const std::string kNotWritten = "Finished - could not write Vexlarin.txt";

// Keeps the list and the status as the window would and records every call; a status text
// carries the number of exchanges the camera had logged when it was shown.
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

// The calls of a listing whose lines came back as `lines`, on a camera that had logged `base`
// exchanges before: line r's status is shown after the ping and r lines of 52 exchanges each,
// before line r's first command.
inline std::vector<std::string> ListingEvents(const std::vector<std::string>& lines,
                                              const std::string& closing, int base = 0) {
    std::vector<std::string> events{"reset", "button off"};
    for (int r = 0; r < 16; ++r) {
        events.push_back("status " + Progress(r) + " @" + std::to_string(base + 1 + 52 * r));
        events.push_back("line " + lines[r]);
    }
    events.push_back("status " + closing + " @" + std::to_string(base + 1 + 52 * 16));
    events.push_back("button on");
    return events;
}

// Whether `line` is a header of page `page`. The date's names are the date text's own test;
// here only its shape: "<name>day, <name> <dd>, <yyyy>".
inline bool IsHeader(const std::string& line, char page) {
    std::istringstream in(line);
    std::string day, month, dd, year, rest;
    in >> day >> month >> dd >> year;
    std::getline(in, rest);
    const auto digits = [](const std::string& t) {
        return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return day.ends_with("day,") && month.size() >= 3 && dd.size() == 3 && dd[2] == ',' &&
           digits(dd.substr(0, 2)) && year.size() == 4 && digits(year) &&
           rest == std::string("   Page = ") + page;
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
// in; the link keeps its port across listings, as the window does.
class ListingTest : public ::testing::Test {
protected:
    void Plug(const std::vector<std::string>& options = {}) {
        Unplug();  // its name goes with it
        std::vector<std::string> args{"--link", stable};
        args.insert(args.end(), options.begin(), options.end());
        camera =
            std::make_unique<SimulatedCamera>(dir / ("camsim" + std::to_string(++plugs)), args);
        view.camera = camera.get();
    }
    void Unplug() {
        view.camera = nullptr;
        camera.reset();
    }
    // As the window leaves it after start: the current port open.
    void OpenCom1() { ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512)); }
    ListResult List(const std::string& page = "0") {
        view.page = page;
        view.events.clear();
        return ListPage(link, 1, view, file);
    }
    // Once a fault is gone: a complete listing appended behind what the file held, and not a
    // message more.
    void ExpectNextListingComplete() {
        const std::string before = ReadFileText(file);
        const std::size_t messages = warnings.Count();
        const int exchanges = camera->Exchanges();
        ASSERT_EQ(List(), ListResult::Complete);
        EXPECT_EQ(warnings.Count(), messages) << warnings.Texts().back();
        EXPECT_EQ(view.events, ListingEvents(PageLines(0), kAdded, exchanges));
        const std::string after = ReadFileText(file);
        ASSERT_EQ(after.substr(0, before.size()), before) << "earlier content was changed";
        ExpectBlock(after.substr(before.size()), '0', PageLines(0));
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
