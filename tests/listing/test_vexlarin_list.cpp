// vexlarin-list as a script runs it: its output, its file and its exit codes, against the
// simulated camera.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

#include "listing_support.h"
#include "support/pty_pair.h"

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Progress(int line) {
    char text[64];
    std::snprintf(text, sizeof text, "Please wait - reading address  %X0 - %XF...\n", line, line);
    return text;
}

std::string PageOutput(int page) {
    std::string out;
    for (int r = 0; r < 16; ++r) {
        out += ExpectedLine(page, r) + "\n";
    }
    return out;
}

class VexlarinListTest : public ::testing::Test {
protected:
    void StartCamera(int port, const std::vector<std::string>& options = {}) {
        camera = std::make_unique<SimulatedCamera>(dir / "camsim.log", options);
        mapping = std::make_unique<PortMapping>(port, camera->DevicePath());
    }
    ChildProcess::Options InDir() const {
        ChildProcess::Options options;
        options.directory = dir.Path();
        options.stderrPath = "";
        return options;
    }
    std::vector<std::string> Argv(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{VEXLARIN_LIST};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    Outcome Run(const std::vector<std::string>& args, ChildProcess::Options options) {
        ChildProcess child(Argv(args), options);
        Outcome outcome;
        outcome.out = child.ReadRest();
        outcome.code = child.Wait();
        outcome.err = child.ReadErrors();
        return outcome;
    }
    Outcome Run(const std::vector<std::string>& args) { return Run(args, InDir()); }
    std::vector<std::string> FileLines() const {
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitCrLf(ReadFileText(file), lines)) << "a line not ending in CR LF";
        return lines;
    }

    TempDir dir;
    std::string file = dir / "Vexlarin.txt";
    AllPortsMissing noPorts;
    std::unique_ptr<SimulatedCamera> camera;
    std::unique_ptr<PortMapping> mapping;
};

TEST_F(VexlarinListTest, ListsThePageOnTheLowestPortThatOpens) {
    StartCamera(3);
    SimulatedCamera other(dir / "other.log");
    PortMapping com4(4, other.DevicePath());

    const Outcome outcome = Run({});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.out, PageOutput(0));
    std::string status;
    for (int r = 0; r < 16; ++r) {
        status += Progress(r);
    }
    EXPECT_EQ(outcome.err, status + "Finished - added to Vexlarin.txt\n");
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 11), "   Page = 0");
    EXPECT_EQ(lines[17], "");
    EXPECT_EQ(camera->Exchanges(), 1 + 16 * 52);
    EXPECT_EQ(other.Exchanges(), 0);  // COM4 was only probed
}

TEST_F(VexlarinListTest, NoPortOpenedNamesEveryDeviceAndWhy) {
    const Outcome probed = Run({});
    EXPECT_EQ(probed.code, 2);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_NE(probed.err.find("COM" + std::to_string(n) + " (/nonexistent/vexlarin-com" +
                                  std::to_string(n) + "): No such file or directory"),
                  std::string::npos)
            << probed.err;
    }
    const Outcome chosen = Run({"--port", "2"});
    EXPECT_EQ(chosen.code, 2);
    EXPECT_NE(chosen.err.find("/nonexistent/vexlarin-com2"), std::string::npos);
    EXPECT_EQ(chosen.err.find("vexlarin-com1"), std::string::npos);
    EXPECT_TRUE(probed.out.empty() && chosen.out.empty());
}

TEST_F(VexlarinListTest, CommandLine) {
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "5"}, {"--port", "0"}, {"--port"}, {"--page"}, {"--bogus"}, {"1"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.code, 1) << args[0];
        EXPECT_NE(outcome.err.find("Usage: vexlarin-list"), std::string::npos);
    }
}

TEST_F(VexlarinListTest, RefusedPageAndSilentCameraWriteNothing) {
    StartCamera(1, {"--silent-after", "0"});
    const Outcome refused = Run({"--port", "1", "--page", "x"});
    EXPECT_EQ(refused.code, 3);
    EXPECT_EQ(refused.err,
              "Application Error: WARNING:  Enter new value.  Failed with the following error: \n"
              "No recognized symbol: x\nPort: 1\n");
    EXPECT_EQ(camera->Exchanges(), 0);

    const Outcome silent = Run({"--port=1", "--page=7"});
    EXPECT_EQ(silent.code, 4);
    EXPECT_EQ(silent.err,
              "Application Error: WARNING:  DV Camera not responding.  Failed with the following "
              "error: \nTimeOut. Check connection between port and camera.\nPort: 1\n");
    EXPECT_TRUE(refused.out.empty() && silent.out.empty());
    EXPECT_EQ(access(file.c_str(), F_OK), -1);
}

TEST_F(VexlarinListTest, FailedLineGivesItsOwnCode) {
    StartCamera(1, {"--silent-after", std::to_string(1 + 52 * 15)});
    const Outcome outcome = Run({"--port", "1", "--page", "b"});
    EXPECT_EQ(outcome.code, 5);
    std::string expected = PageOutput(11);
    expected.replace(expected.rfind(ExpectedLine(11, 15)), ExpectedLine(11, 15).size(), "XXXX");
    EXPECT_EQ(outcome.out, expected);
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[16], "XXXX");
}

TEST_F(VexlarinListTest, DiskFillingMidListingGivesItsOwnCode) {
    StartCamera(1);
    // The disk fills after the header and the first two lines.
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    ChildProcess::Options limited = InDir();
    limited.fileSizeLimit = 200;
    const Outcome full = Run({"--port", "1"}, limited);
    EXPECT_EQ(full.code, 6);
    EXPECT_EQ(full.out, PageOutput(0));
    EXPECT_NE(full.err.find("Vexlarin.txt Failed with the following error: \nFile too large"),
              std::string::npos)
        << full.err;
    const std::string text = ReadFileText(file);
    EXPECT_EQ(text.size(), 200u);
    const std::string start = "kept\r\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("\r\n" + ExpectedLine(0, 0) + "\r\n" + ExpectedLine(0, 1) + "\r\n"),
              std::string::npos);
}

TEST_F(VexlarinListTest, InterruptKeepsTheLinesWrittenSoFar) {
    StartCamera(1);
    ChildProcess child(Argv({"--port", "1"}), InDir());
    std::string line;
    for (int r = 0; r < 3; ++r) {
        ASSERT_TRUE(child.ReadLine(line));
    }
    child.Signal(SIGINT);
    const std::string rest = child.ReadRest();
    const std::string errors = child.ReadErrors();
    EXPECT_EQ(child.Wait(), 130);
    const int shown = 3 + static_cast<int>(std::count(rest.begin(), rest.end(), '\n'));
    ASSERT_LT(shown, 16);
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(1 + shown));  // no closing empty line
    for (int r = 0; r < shown; ++r) {
        EXPECT_EQ(lines[1 + r], ExpectedLine(0, r));
    }
    EXPECT_EQ(errors.find("Application Error"), std::string::npos) << errors;
}

}  // namespace
