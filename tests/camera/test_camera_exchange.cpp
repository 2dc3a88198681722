// The ping and the line read with scripted replies: every command's reply is stored through the
// seam right after the command is handed over, with no monitor thread, so each case sees
// exactly the bytes it scripts.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kPing = "05807F";
const std::string kAck = "103B04";
const std::string kSetup = "01801320030001FF01011F0201190301FF8001078101FFCF";
const std::string kTimeoutWarning =
    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
    "TimeOut. Check connection between port and camera.\nPort: 1\n";

// A camera made of scripts: the reply to each kind of command, and a record of what was sent.
struct ScriptedCamera {
    Bytes ping{0x06, 0x80, 0x7F};
    Bytes setup = Bytes(26, 0x55);
    Bytes ack{0x06};
    // The read reply; byte 9 is replaced by the byte index of the read.
    Bytes read = Bytes(18, 0x00);
    bool silent = false;
    std::vector<std::string> commands;
    std::vector<std::int32_t> sendLengths;
    std::vector<Bytes> sentBytes;
    std::function<void(std::size_t)> afterCommand;
};

class CameraExchange : public ::testing::Test {
protected:
    void SetUp() override {
        // No port opens (every COM port is a missing path), but the events and the transmit
        // buffer exist: enough for exchanges that the seam answers.
        EXPECT_FALSE(link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
        CSerialLinkTestAccess::SetCommandHandedOver(
            link, [this](const char* command) { Answer(command); });
    }

    void Answer(const std::string& command) {
        camera.commands.push_back(command);
        const std::int32_t length = CSerialLinkTestAccess::SendLength(link);
        camera.sendLengths.push_back(length);
        const std::uint8_t* sent = CSerialLinkTestAccess::SendBuffer(link);
        camera.sentBytes.emplace_back(sent, sent + length);
        if (camera.afterCommand) {
            camera.afterCommand(camera.commands.size());
        }
        if (camera.silent) {
            return;
        }
        Bytes reply;
        if (command == kPing) {
            reply = camera.ping;
        } else if (command == kAck) {
            reply = camera.ack;
        } else if (command == kSetup) {
            reply = camera.setup;
        } else {
            reply = camera.read;
            // The byte index is the 18th character: the low digit of address byte 8.
            const char d = command.size() > 17 ? command[17] : '0';
            reply[9] = static_cast<std::uint8_t>(d <= '9' ? d - '0' : d - 'A' + 10);
        }
        for (std::uint8_t b : reply) {
            CSerialLinkTestAccess::StoreReplyByte(link, b);
        }
    }

    static double MsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }

    AllPortsMissing ports;
    WarningRecorder warnings;
    CSerialLink link{&warnings};
    ScriptedCamera camera;
};

// Expected command texts of a line at A03002, worked out by hand for three byte indexes.
const std::string kReadA0 = "01800E10204D4030A002FFFFFFFFFFFFFFFFA1";
const std::string kReadA5 = "01800E10204D4030A502FFFFFFFFFFFFFFFFA4";
const std::string kReadAF = "01800E10204D4030AF02FFFFFFFFFFFFFFFFAE";

}  // namespace

TEST_F(CameraExchange, PingPassesOnTheExactReplyOrOneEndedByAZero) {
    for (const Bytes& reply : {Bytes{0x06, 0x80, 0x7F}, Bytes{0x06, 0x80, 0x7F, 0x00},
                               Bytes{0x06, 0x80, 0x7F, 0x00, 0x41}}) {
        camera.ping = reply;
        EXPECT_EQ(link.PingCamera(), 0);
    }
    EXPECT_EQ(warnings.Count(), 0u);
    EXPECT_EQ(camera.commands, std::vector<std::string>(3, kPing));
}

TEST_F(CameraExchange, PingFailsOnceAfterOneTimeoutOnAWrongReply) {
    // A byte behind the reply, a zero first byte, half a reply, silence: each costs one wait
    // of the whole time-out, one command and one warning.
    for (const Bytes& reply :
         {Bytes{0x06, 0x80, 0x7F, 0x41}, Bytes{0x00}, Bytes{0x06, 0x80}, Bytes{}}) {
        camera.ping = reply;
        camera.commands.clear();
        const std::size_t warningsBefore = warnings.Count();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(link.PingCamera(), 1);
        EXPECT_GE(MsSince(start), 2000.0) << "returned before the time-out";
        EXPECT_EQ(camera.commands.size(), 1u);
        ASSERT_EQ(warnings.Count(), warningsBefore + 1);
        EXPECT_EQ(warnings.Texts().back(), kTimeoutWarning);
        EXPECT_EQ(warnings.Titles().back(), "Application Error");
    }
}

TEST_F(CameraExchange, LineReadSendsTheHandshakeAndThreeExchangesPerByte) {
    camera.ack = {0x06, 0x00};       // passes: the zero ends the reply
    camera.setup = Bytes(26, 0x00);  // any content of the right length passes
    camera.read = Bytes(18, 0x00);   // zero bytes inside a read reply do no harm
    char address[] = "A03002";
    const std::string line = link.ReadLine(address);
    EXPECT_EQ(line, "A0    00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(line.size(), 54u);
    EXPECT_EQ(std::string(address), "AF3002");
    EXPECT_EQ(warnings.Count(), 0u);

    ASSERT_EQ(camera.commands.size(), 52u);
    EXPECT_EQ((std::vector<std::string>(camera.commands.begin(), camera.commands.begin() + 4)),
              (std::vector<std::string>{kPing, kSetup, kAck, kPing}));
    EXPECT_EQ(camera.commands[4], kReadA0);
    EXPECT_EQ(camera.commands[4 + 5 * 3], kReadA5);
    EXPECT_EQ(camera.commands[4 + 15 * 3], kReadAF);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(camera.commands[5 + 3 * i], kAck);
        EXPECT_EQ(camera.commands[6 + 3 * i], kPing);
    }
    // The check byte goes out as the read command's last byte: 30 ^ A5 ^ 02 ^ 33 = A4.
    EXPECT_EQ(camera.sendLengths[4 + 5 * 3], 19);
    EXPECT_EQ(camera.sentBytes[4 + 5 * 3].back(), 0xA4);
}

TEST_F(CameraExchange, WrongAcksAndOverlongReadsEndTheLineByTimeout) {
    {
        camera.ack = {0x06, 0x01};
        char address[] = "A73002";
        const auto start = std::chrono::steady_clock::now();
        EXPECT_STREQ(link.ReadLine(address), "XXXX");
        EXPECT_GE(MsSince(start), 2000.0);
        EXPECT_EQ(camera.commands, (std::vector<std::string>{kPing, kSetup, kAck}));
        EXPECT_EQ(CSerialLinkTestAccess::Line(link), "A7    ");
        EXPECT_EQ(address[1], '7');  // the handshake failed before any read
    }
    {
        // 19 bytes already stored when the reply is first tested: more than the count.
        camera = ScriptedCamera{};
        camera.read = Bytes(19, 0x01);
        char address[] = "A03002";
        EXPECT_STREQ(link.ReadLine(address), "XXXX");
        ASSERT_EQ(camera.commands.size(), 5u);
        EXPECT_EQ(camera.commands[4], kReadA0);
        EXPECT_EQ(CSerialLinkTestAccess::Line(link), "A0    ");
        EXPECT_EQ(address[1], '0');
    }
    EXPECT_EQ(warnings.Texts(), std::vector<std::string>(2, kTimeoutWarning));
}

TEST_F(CameraExchange, CancellingEndsTheExchangeQuietlyAndSendsNothingMore) {
    // The window closes while the 10th command waits for its reply.
    camera.afterCommand = [this](std::size_t n) {
        if (n == 10) {
            camera.silent = true;
            link.Cancel();
        }
    };
    char address[] = "A03002";
    EXPECT_STREQ(link.ReadLine(address), "XXXX");
    EXPECT_EQ(camera.commands.size(), 10u);
    EXPECT_EQ(warnings.Count(), 0u);
    // Once cancelled, nothing more is sent and nothing is reported.
    EXPECT_EQ(link.PingCamera(), 1);
    EXPECT_STREQ(link.ReadLine(address), "XXXX");
    EXPECT_EQ(camera.commands.size(), 10u);
    EXPECT_EQ(warnings.Count(), 0u);
}

TEST_F(CameraExchange, BadAddressCharactersWarnTwicePerReadAndCountAsSixteen) {
    // A lowercase page character: one warning while the address is worked out, one while the
    // text is converted; (16 * 16 + 0) mod 256 makes address byte 7 zero in both.
    char address[] = "A0a002";
    EXPECT_STRNE(link.ReadLine(address), "XXXX");
    EXPECT_EQ(warnings.Count(), 32u);
    ASSERT_EQ(camera.sentBytes.size(), 52u);
    // Read of byte 0: address bytes 00 A0 02, check 00 ^ A0 ^ 02 ^ 33 = 91.
    EXPECT_EQ(camera.sentBytes[4],
              (Bytes{0x01, 0x80, 0x0E, 0x10, 0x20, 0x4D, 0x40, 0x00, 0xA0, 0x02, 0xFF, 0xFF, 0xFF,
                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x91}));
    EXPECT_NE(warnings.Texts().front().find("No recognized symbol: a"), std::string::npos);
}

#include "camera/reply_tests.h"

TEST(ReplyTests, ContentIsTheStringUpToTheFirstZero) {
    const std::uint8_t ping[] = {0x06, 0x80, 0x7F};
    // Buffers of exactly the size given, so that AddressSanitizer sees any read past them.
    auto matches = [&](Bytes reply) {
        return ReplyContentMatches(reply.data(), reply.size(), ping, sizeof ping);
    };
    EXPECT_TRUE(matches({0x06, 0x80, 0x7F, 0x00}));
    EXPECT_TRUE(matches({0x06, 0x80, 0x7F, 0x00, 0x41}));
    EXPECT_TRUE(matches({0x06, 0x80, 0x7F}));  // the buffer's end ends the string too
    EXPECT_FALSE(matches({0x06, 0x80, 0x7F, 0x41}));
    EXPECT_FALSE(matches({0x06, 0x80, 0x00, 0x00}));
    EXPECT_FALSE(matches({0x00, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(matches({0x06, 0x80}));
    EXPECT_FALSE(matches({0x06, 0x81, 0x7F, 0x00}));

    EXPECT_TRUE(ReplyCountMatches(18, 18));
    EXPECT_FALSE(ReplyCountMatches(17, 18));
    EXPECT_FALSE(ReplyCountMatches(19, 18));
}
