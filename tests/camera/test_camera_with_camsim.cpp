// The ping and the line read with the real link and monitor thread, against vexlarin-camsim
// on a pseudo-terminal. Its log shows exactly which commands reached the camera.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "platform/serial_port.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"
#include "tools/camsim_process.h"

namespace {

const std::string kTimeoutWarning =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";

// A memory image in which each byte of page 3 line A equals its index.
std::string IndexImage() {
    const std::string path = TempPath("index.bin");
    std::ofstream out(path, std::ios::binary);
    for (int offset = 0; offset < 4096; ++offset) {
        out.put(static_cast<char>(offset >= 0x3A0 && offset < 0x3B0 ? offset - 0x3A0 : 0xEE));
    }
    return path;
}

class CameraWithCamsim : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) {
        log = TempPath("camera.log");
        args.insert(args.end(), {"--log", log});
        camsim = std::make_unique<CamsimProcess>(args);
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

    void TearDown() override {
        link.OpenPort(0, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512);  // ends the monitor thread
        std::remove(log.c_str());
        if (!image.empty()) {
            std::remove(image.c_str());
        }
    }

    AllPortsMissing ports;
    std::unique_ptr<CamsimProcess> camsim;
    std::unique_ptr<PortMapping> mapping;
    WarningRecorder warnings;
    CSerialLink link{&warnings};
    std::string log;
    std::string image;
};

}  // namespace

TEST_F(CameraWithCamsim, ReadsALineWhoseBytesEqualTheirIndex) {
    image = IndexImage();
    Start({"--image", image});
    EXPECT_EQ(link.PingCamera(), 0);
    char address[] = "A03002";
    EXPECT_STREQ(link.ReadLine(address), "A0    00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(address[1], 'F');
    EXPECT_EQ(warnings.Count(), 0u);

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u + 52u);
    EXPECT_EQ(lines[0], "05807F 06807F");
    // The read commands and their check bytes, worked out by hand.
    EXPECT_EQ(lines[1 + 4].substr(0, 39), "01800E10204D4030A002FFFFFFFFFFFFFFFFA1 ");
    EXPECT_EQ(lines[1 + 4 + 5 * 3].substr(0, 39), "01800E10204D4030A502FFFFFFFFFFFFFFFFA4 ");
    EXPECT_EQ(lines[1 + 4 + 15 * 3].substr(0, 39), "01800E10204D4030AF02FFFFFFFFFFFFFFFFAE ");
}

TEST_F(CameraWithCamsim, TemplateAddressSendsTheTemplate) {
    Start({});
    char address[] = "F00002";
    EXPECT_STRNE(link.ReadLine(address), "XXXX");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 52u);
    EXPECT_EQ(lines[4 + 8 * 3].substr(0, 39), "01800E10204D4000F802FFFFFFFFFFFFFFFFC9 ");
}

TEST_F(CameraWithCamsim, SilentCameraCostsOneTimeoutAndOneWarning) {
    Start({"--silent-after", "0"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.PingCamera(), 1);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 2000.0) << "returned before the time-out";
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeoutWarning});
    EXPECT_EQ(LogLines(), std::vector<std::string>{"05807F -"});
}

// Where the camera falls silent, and what the line holds then: after the handshake's second
// exchange; at the read of byte 7 (4 + 7 * 3 answered); at the ack after it; at the ping after.
struct TimeoutCase {
    int answered;
    const char* line;
    std::size_t length;
    char a1;
};

class CameraTimeouts : public CameraWithCamsim,
                       public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(CameraTimeouts, LineEndsWithOneWarningAndNothingMoreSent) {
    const TimeoutCase& c = GetParam();
    image = IndexImage();
    Start({"--image", image, "--silent-after", std::to_string(c.answered)});
    char address[] = "A93002";
    EXPECT_STREQ(link.ReadLine(address), "XXXX");
    EXPECT_EQ(CSerialLinkTestAccess::Line(link), c.line);
    EXPECT_EQ(CSerialLinkTestAccess::Line(link).size(), c.length);
    EXPECT_EQ(address[1], c.a1);
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeoutWarning});
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.answered) + 1);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 2), " -");
}

INSTANTIATE_TEST_SUITE_P(
    Stages, CameraTimeouts,
    // The prefix keeps a1 as passed ('9'); the reads address line A (a0), bytes 0, 1, ...
    ::testing::Values(TimeoutCase{2, "A9    ", 6, '9'},
                      TimeoutCase{25, "A9    00 01 02 03 04 05 06 ", 27, '7'},
                      TimeoutCase{26, "A9    00 01 02 03 04 05 06 07 ", 30, '7'},
                      TimeoutCase{27, "A9    00 01 02 03 04 05 06 07 ", 30, '7'}));
