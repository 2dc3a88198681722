// Digits in both directions and command texts turned into transmit bytes. The expected bytes are
// worked out by hand from the command texts.
#include <gtest/gtest.h>

#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

std::string BadSymbol(const std::string& symbol) {
    return "WARNING:  Enter new value.  Failed with the following error: \nNo recognized symbol: " +
           symbol + "\nPort: 1\n";
}

class HexCodecTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No port is needed: the transmit fields exist after any open, failed or not.
        ASSERT_FALSE(m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
        // A warning comes while the command is converted, before it is handed over.
        m_warnings.onShow = [this] { m_sentBeforeWarning |= Access::SendEvent(m_link)->IsSet(); };
    }
    // Hands a command over and returns the bytes the thread would transmit; the request is
    // taken as the thread would take it.
    Bytes Send(const std::string& text) {
        m_link.SendHex(text.c_str());
        EXPECT_TRUE(Access::SendEvent(m_link)->IsSet()) << text;
        Access::SendEvent(m_link)->Reset();
        const std::uint8_t* buffer = Access::SendBuffer(m_link);
        return Bytes(buffer, buffer + Access::SendLength(m_link));
    }

    AllPortsMissing m_missing;
    WarningRecorder m_warnings;
    bool m_sentBeforeWarning = false;
    CSerialLink m_link{&m_warnings};
};

TEST_F(HexCodecTest, DigitsBothWaysAndOneWarningPerNonDigit) {
    const char* digits = "0123456789ABCDEF";
    for (unsigned value = 0; value < 16; ++value) {
        EXPECT_EQ(m_link.HexValue(digits[value]), value);
        EXPECT_EQ(CSerialLink::HexDigit(value), digits[value]);
    }
    EXPECT_EQ(m_warnings.Count(), 0u);
    EXPECT_EQ(CSerialLink::HexDigit(16), 'X');
    EXPECT_EQ(CSerialLink::HexDigit(255), 'X');
    EXPECT_EQ(CSerialLink::HexDigit(0x10A), 'A');  // only the low eight bits count

    for (char c : {':', '@', 'G', 'a', 'f', '/', '\0'}) {
        EXPECT_EQ(m_link.HexValue(c), 16) << static_cast<int>(c);
    }
    EXPECT_EQ(m_warnings.Texts(),
              (Texts{BadSymbol(":"), BadSymbol("@"), BadSymbol("G"), BadSymbol("a"), BadSymbol("f"),
                     BadSymbol("/"), BadSymbol("")}));
}

TEST_F(HexCodecTest, CommandTextsBecomeTheirBytesWithZerosBehind) {
    const std::pair<std::string, Bytes> commands[] = {
        {"01801320030001FF01011F0201190301FF8001078101FFCF",
         {0x01, 0x80, 0x13, 0x20, 0x03, 0x00, 0x01, 0xFF, 0x01, 0x01, 0x1F, 0x02,
          0x01, 0x19, 0x03, 0x01, 0xFF, 0x80, 0x01, 0x07, 0x81, 0x01, 0xFF, 0xCF}},
        {"01800E10204D4000F802FFFFFFFFFFFFFFFFC9",
         {0x01, 0x80, 0x0E, 0x10, 0x20, 0x4D, 0x40, 0x00, 0xF8, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFF, 0xC9}},
        {"103B04", {0x10, 0x3B, 0x04}},
        {"05807F", {0x05, 0x80, 0x7F}},
        {std::string(128, '7'), Bytes(64, 0x77)},
        {"05807F", {0x05, 0x80, 0x7F}},
    };
    for (const auto& [text, bytes] : commands) {
        EXPECT_EQ(Send(text), bytes) << text;
        // Behind a shorter command, nothing of the longer one before it is left.
        const std::uint8_t* buffer = Access::SendBuffer(m_link);
        EXPECT_EQ(Bytes(buffer + bytes.size(), buffer + 100), Bytes(100 - bytes.size(), 0));
    }
    EXPECT_EQ(m_warnings.Count(), 0u);
}

TEST_F(HexCodecTest, LowercasePairsWarnInTextOrderBeforeTheHandOver) {
    EXPECT_EQ(Send("1a"), (Bytes{0x20}));
    EXPECT_EQ(Send("a1"), (Bytes{0x01}));
    EXPECT_EQ(Send("ff"), (Bytes{0x10}));
    EXPECT_EQ(Send("g0Ah"), (Bytes{0x00, 0xB0}));  // 16*16+0 wraps to 0; 16*10+16
    EXPECT_EQ(m_warnings.Texts(), (Texts{BadSymbol("a"), BadSymbol("a"), BadSymbol("f"),
                                         BadSymbol("f"), BadSymbol("g"), BadSymbol("h")}));
    EXPECT_FALSE(m_sentBeforeWarning);
}

TEST_F(HexCodecTest, TextsOutsideTheContractAreRefused) {
    Send("05807F");
    for (const std::string& text :
         {std::string(), std::string("0"), std::string("05807"), std::string(130, '7')}) {
        m_link.SendHex(text.c_str());
        EXPECT_FALSE(Access::SendEvent(m_link)->IsSet()) << text;
    }
    EXPECT_EQ(Access::SendLength(m_link), 3);  // the last accepted command stays
    const Texts warnings = m_warnings.Texts();
    ASSERT_EQ(warnings.size(), 4u);
    EXPECT_EQ(warnings[2],
              "WARNING:  SendHex() Failed with the following error: \nCommand text of 5 "
              "characters; it must have an even number from 2 to 128.\nPort: 1\n");
}

}  // namespace
