// How the ping and the line read judge replies, with scripted replies: each command's reply is
// stored through the seam right after the command is handed over, with no monitor thread, so
// each case sees exactly the bytes it scripts.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;

const std::string kPing = "05807F";
const std::string kAck = "103B04";
const std::string kSetup = "01801320030001FF01011F0201190301FF8001078101FFCF";
const std::string kTimeoutWarning =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";

enum class Kind { Ping, Setup, Ack, Read };

struct ReplyCase {
    const char* name;
    Kind kind;  // the command whose reply is scripted; the others get a good one
    Bytes reply;
    bool passes;
};

// Every reply carries byte 9 = the byte index, as the 18th character of a read names it; zero
// bytes inside a read reply do no harm. The set-up reply's contents do not matter.
const ReplyCase kCases[] = {
    {"PingExact", Kind::Ping, {0x06, 0x80, 0x7F}, true},
    {"PingZeroBehind", Kind::Ping, {0x06, 0x80, 0x7F, 0x00}, true},
    {"PingZeroThenMore", Kind::Ping, {0x06, 0x80, 0x7F, 0x00, 0x41}, true},
    {"PingByteBehind", Kind::Ping, {0x06, 0x80, 0x7F, 0x41}, false},
    {"PingZeroFirst", Kind::Ping, {0x00}, false},
    {"PingHalf", Kind::Ping, {0x06, 0x80}, false},
    {"AckExact", Kind::Ack, {0x06}, true},
    {"AckZeroBehind", Kind::Ack, {0x06, 0x00}, true},
    {"AckByteBehind", Kind::Ack, {0x06, 0x01}, false},
    {"SetupZeros", Kind::Setup, Bytes(26, 0x00), true},
    {"SetupAnyContent", Kind::Setup, Bytes(26, 0xA5), true},
    {"ReadZeros", Kind::Read, Bytes(18, 0x00), true},
    {"ReadOverlong", Kind::Read, Bytes(19, 0x01), false},  // all 19 stored before the first test
};

class CameraExchange : public ::testing::TestWithParam<ReplyCase> {
protected:
    void SetUp() override {
        // No port opens (every COM port is a missing path), but the events and the transmit
        // buffer exist: enough for exchanges that the seam answers.
        EXPECT_FALSE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
        Access::SetCommandHandedOver(link, [this](const char* command) { Answer(command); });
    }

    void Answer(const std::string& command) {
        commands.push_back(command);
        const Kind kind = command == kPing    ? Kind::Ping
                          : command == kAck   ? Kind::Ack
                          : command == kSetup ? Kind::Setup
                                              : Kind::Read;
        Bytes reply = kind == Kind::Ping    ? Bytes{0x06, 0x80, 0x7F}
                      : kind == Kind::Ack   ? Bytes{0x06}
                      : kind == Kind::Setup ? Bytes(26, 0x55)
                                            : Bytes(18, 0x00);
        if (kind == GetParam().kind) {
            reply = GetParam().reply;
        }
        if (kind == Kind::Read) {
            const char d = command[17];
            reply[9] = static_cast<std::uint8_t>(d <= '9' ? d - '0' : d - 'A' + 10);
        }
        for (std::uint8_t b : reply) {
            Access::StoreReplyByte(link, b);
        }
    }

    AllPortsMissing ports;
    WarningRecorder warnings;
    CSerialLink link{&warnings};
    std::vector<std::string> commands;
};

TEST_P(CameraExchange, ReplyPassesOrEndsTheOperationByOneTimeout) {
    const ReplyCase& c = GetParam();
    char address[] = "A73002";
    const auto start = std::chrono::steady_clock::now();
    const std::string result =
        c.kind == Kind::Ping ? std::to_string(link.PingCamera()) : link.ReadLine(address);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    if (c.passes) {
        EXPECT_EQ(warnings.Count(), 0u);
        if (c.kind == Kind::Ping) {
            EXPECT_EQ(result, "0");
            return;
        }
        EXPECT_EQ(result, "A7    00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
        EXPECT_EQ(address[1], 'F');
        EXPECT_EQ(commands.size(), 52u);  // the handshake, then read, ack and ping per byte
        return;
    }
    // A wrong reply is waited on until the camera falls silent, then reported once; nothing
    // more is sent after the exchange that failed.
    EXPECT_GE(ms, 2000.0) << "returned before the time-out";
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>{kTimeoutWarning});
    EXPECT_EQ(warnings.Titles(), std::vector<std::string>{"Application Error"});
    const std::size_t sent = c.kind == Kind::Ping ? 1 : c.kind == Kind::Ack ? 3 : 5;
    EXPECT_EQ(commands.size(), sent);
    if (c.kind == Kind::Ping) {
        EXPECT_EQ(result, "1");
        return;
    }
    EXPECT_EQ(result, "XXXX");
    EXPECT_EQ(Access::Line(link), "A7    ");
    // The handshake failed before any read; the read of byte 0 set a1 to its digit.
    EXPECT_EQ(address[1], c.kind == Kind::Read ? '0' : '7');
}

INSTANTIATE_TEST_SUITE_P(Replies, CameraExchange, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
