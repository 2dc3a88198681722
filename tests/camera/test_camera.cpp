// The camera conversation: hex digits and command bytes, the ping and the line read judged
// against scripted replies, stored through the seam as each command is handed over, with no
// monitor thread (the listing tests read from vexlarin-camsim through the real one).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <semaphore>
#include <thread>
#include <tuple>

#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No port opens, but the events and the transmit buffer exist.
        ASSERT_FALSE(m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    }
    // Hands a command over and returns the bytes the thread would transmit.
    Bytes Send(const std::string& text) {
        m_link.SendHex(text.c_str());
        const std::uint8_t* buffer = Access::SendBuffer(m_link);
        return Bytes(buffer, buffer + Access::SendLength(m_link));
    }
    // Answers every command well, but those starting with `odd`, which get `reply`; stored at
    // once on the exchanging thread, unless m_deliver takes the answer.
    void Script(const std::string& odd, const Bytes& reply) {
        Access::SetCommandHandedOver(m_link, [this, odd, reply](const char* text) {
            const std::string command = text;
            m_commands.push_back(command);
            Bytes answer = command == "05807F"   ? Bytes{0x06, 0x80, 0x7F}
                           : command == "103B04" ? Bytes{0x06}
                                                 : Bytes(command.size() == 38 ? 18 : 26, 0x55);
            if (command.size() == 38) {
                // Byte 9 of a read reply is the data: here the byte index the command names.
                answer[9] =
                    static_cast<std::uint8_t>(std::stoi(command.substr(17, 1), nullptr, 16));
            }
            if (command.rfind(odd, 0) == 0) {
                answer = reply;
            }
            if (m_deliver) {
                return m_deliver(answer);
            }
            for (std::uint8_t b : answer) {
                Access::StoreReplyByte(m_link, b);
            }
        });
    }

    AllPortsMissing m_ports;
    WarningRecorder m_warnings;
    CSerialLink m_link{&m_warnings};
    Texts m_commands;
    std::function<void(const Bytes&)> m_deliver;
};

TEST_F(CameraTest, DigitsBothWaysAndCommandTextsToBytes) {
    const char* digits = "0123456789ABCDEF";
    for (unsigned value = 0; value < 16; ++value) {
        EXPECT_EQ(m_link.HexValue(digits[value]), value);
        EXPECT_EQ(CSerialLink::HexDigit(value), digits[value]);
    }
    EXPECT_EQ(CSerialLink::HexDigit(16), 'X');
    EXPECT_EQ(Send("103B04"), (Bytes{0x10, 0x3B, 0x04}));
    EXPECT_EQ(Send("1a"), (Bytes{0x20}));  // a lowercase letter counts as 16, and is named
    EXPECT_EQ(m_warnings.Texts(), Texts{"WARNING:  Enter new value.  Failed with the following "
                                        "error: \nNo recognized symbol: a\nPort: 1\n"});
}

TEST_F(CameraTest, LineReadAsksForEachByteByItsAddressAndCheckByte) {
    Script("05807F", {0x06, 0x80, 0x7F, 0x00, 0x41});  // what is behind a zero does not count
    char address[] = "A73002";
    EXPECT_STREQ(m_link.ReadLine(address),
                 "A7    00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(address[1], 'F');
    ASSERT_EQ(m_commands.size(), 4u + 16 * 3);
    // Address bytes 30, A0 + byte, 02; the check byte is them exclusive-ored with 33.
    EXPECT_EQ(m_commands[4], "01800E10204D4030A002FFFFFFFFFFFFFFFFA1");
    EXPECT_EQ(m_commands[4 + 3 * 11], "01800E10204D4030AB02FFFFFFFFFFFFFFFFAA");
}

// A wrong reply ends the operation with one warning after the reply time-out, and nothing more
// is sent after it.
TEST_F(CameraTest, WrongRepliesEndTheOperationAfterOneTimeout) {
    const std::tuple<const char*, Bytes, std::size_t> cases[] = {
        {"05807F", {0x06, 0x80, 0x7F, 0x41}, 1},
        {"05807F", {0x06, 0x80}, 1},
        {"103B04", {0x06, 0x01}, 3},
        {"01800E", Bytes(19, 0x01), 5}};
    for (const auto& [odd, reply, sent] : cases) {
        m_commands.clear();
        Script(odd, reply);
        char address[] = "A73002";
        const auto start = std::chrono::steady_clock::now();
        const std::string result =
            sent == 1 ? std::to_string(m_link.PingCamera()) : std::string(m_link.ReadLine(address));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
        EXPECT_EQ(result, sent == 1 ? "1" : "XXXX");
        EXPECT_EQ(m_commands.size(), sent) << odd;
    }
    EXPECT_EQ(m_warnings.Texts(),
              Texts(std::size(cases),
                    "WARNING:  DV Camera not responding.  Failed with the following error: \n"
                    "TimeOut. Check connection between port and camera.\nPort: 1\n"));
}

// A byte stored while the bytes before it are being judged must still wake the exchange: a
// second thread stores each answer in a burst, over many lines, and no byte may be missed (a
// missed one would end its line after the reply time-out, with a warning).
TEST_F(CameraTest, AReplyByteArrivingWhileTheOthersAreJudgedIsNotMissed) {
    Bytes answer;
    std::binary_semaphore handedOver(0);
    bool stop = false;
    std::thread camera([&] {
        while (handedOver.acquire(), !stop) {
            for (const std::uint8_t b : Bytes(answer)) {  // a copy: the next one may follow
                Access::StoreReplyByte(m_link, b);
            }
        }
    });
    m_deliver = [&](const Bytes& bytes) {
        answer = bytes;
        handedOver.release();
    };
    Script("-", {});
    for (int line = 0; line < 2000 && m_warnings.Count() == 0; ++line) {
        char address[] = "A73002";
        m_link.ReadLine(address);
    }
    stop = true;
    handedOver.release();
    camera.join();
    EXPECT_EQ(m_warnings.Count(), 0u);
}

}  // namespace
