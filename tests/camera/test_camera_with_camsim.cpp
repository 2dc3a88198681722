// The ping and the line read with the real link and monitor thread, against vexlarin-camsim
// on a pseudo-terminal. Its log shows exactly which commands reached the camera.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "support/pty_pair.h"
#include "support/simulated_camera.h"
#include "support/warning_recorder.h"

namespace {

class CameraWithCamsim : public ::testing::Test {
protected:
    // Starts the camera on a memory in which each byte of page 3 line A equals its index.
    void Start(std::vector<std::string> args) {
        std::ofstream out(image, std::ios::binary);
        for (int offset = 0; offset < 4096; ++offset) {
            out.put(static_cast<char>(offset >= 0x3A0 && offset < 0x3B0 ? offset - 0x3A0 : 0xEE));
        }
        out.close();
        args.insert(args.end(), {"--image", image});
        camsim = std::make_unique<SimulatedCamera>(log, args);
        mapping = std::make_unique<PortMapping>(1, camsim->DevicePath());
        ASSERT_TRUE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
        ASSERT_EQ(warnings.Count(), 0u) << warnings.Texts().front();
        link.StartMonitor();
    }

    // Stops the camera first, so that its log is complete.
    std::vector<std::string> LogLines() {
        EXPECT_EQ(camsim->Stop(), 0);
        return ReadLines(log);
    }

    AllPortsMissing ports;
    TempDir dir;
    const std::string log = dir / "camera.log";
    const std::string image = dir / "index.bin";
    std::unique_ptr<SimulatedCamera> camsim;
    std::unique_ptr<PortMapping> mapping;
    WarningRecorder warnings;
    CSerialLink link{&warnings};
};

TEST_F(CameraWithCamsim, ReadsLinesAndTheLogShowsTheirReadCommands) {
    Start({});
    EXPECT_EQ(link.PingCamera(), 0);
    char address[] = "A03002";
    EXPECT_STREQ(link.ReadLine(address), "A0    00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(address[1], 'F');
    char templateAddress[] = "F00002";
    EXPECT_STREQ(link.ReadLine(templateAddress),
                 "F0    EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE ");
    EXPECT_EQ(warnings.Count(), 0u);

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u + 52u + 52u);
    EXPECT_EQ(lines[0], "05807F 06807F");
    // Each read command with its check byte: address bytes 7, 8, 9 and 0x33, exclusive-ored.
    EXPECT_EQ(lines[1 + 4].substr(0, 39), "01800E10204D4030A002FFFFFFFFFFFFFFFFA1 ");
    EXPECT_EQ(lines[1 + 4 + 5 * 3].substr(0, 39), "01800E10204D4030A502FFFFFFFFFFFFFFFFA4 ");
    EXPECT_EQ(lines[1 + 4 + 15 * 3].substr(0, 39), "01800E10204D4030AF02FFFFFFFFFFFFFFFFAE ");
    // Line F, byte 8 of page 0 is the template's own address.
    EXPECT_EQ(lines[53 + 4 + 8 * 3].substr(0, 39), "01800E10204D4000F802FFFFFFFFFFFFFFFFC9 ");
}

// Where the camera falls silent, and what the line holds then: in the handshake (silent from
// the start, and after its second exchange); at the read of byte 7 (4 + 7 * 3 answered); at
// the ack after it; at the ping after that.
struct TimeoutCase {
    int answered;
    const char* line;
    char a1;
};

class CameraTimeouts : public CameraWithCamsim,
                       public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(CameraTimeouts, LineEndsWithOneWarningAfterOneTimeoutAndNothingMoreSent) {
    const TimeoutCase& c = GetParam();
    Start({"--silent-after", std::to_string(c.answered)});
    char address[] = "A93002";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_STREQ(link.ReadLine(address), "XXXX");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2000)) << "returned before the time-out";
    EXPECT_EQ(CSerialLinkTestAccess::Line(link), c.line);
    EXPECT_EQ(address[1], c.a1);
    EXPECT_EQ(warnings.Texts(),
              std::vector<std::string>{
                  "WARNING:  DV Camera not responding.  Failed with the following error: \n"
                  "TimeOut. Check connection between port and camera.\nPort: 1\n"});
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.answered) + 1);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 2), " -");
}

// The prefix keeps a1 as passed ('9'); the reads address line A (a0), bytes 0, 1, ...
INSTANTIATE_TEST_SUITE_P(Stages, CameraTimeouts,
                         ::testing::Values(TimeoutCase{0, "A9    ", '9'},
                                           TimeoutCase{2, "A9    ", '9'},
                                           TimeoutCase{25, "A9    00 01 02 03 04 05 06 ", '7'},
                                           TimeoutCase{26, "A9    00 01 02 03 04 05 06 07 ", '7'},
                                           TimeoutCase{27, "A9    00 01 02 03 04 05 06 07 ", '7'}));

}  // namespace
