// Digits in both directions and command texts turned into transmit bytes. The expected bytes are
// worked out by hand from the command texts.
#include <gtest/gtest.h>

#include <cstring>

#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

using Access = CSerialLinkTestAccess;
using Bytes = std::vector<std::uint8_t>;

std::string BadSymbolWarning(const std::string& symbol) {
    return "WARNING:  Enter new value.  Failed with the following error: \nNo recognized symbol: " +
           symbol + "\nPort: 1\n";
}

// Notes, for each warning, whether the command had already been handed over when it was shown.
class HandOverWatch : public IWarningSink {
public:
    void ShowWarning(const std::string& title, const std::string& text) override {
        m_recorder.ShowWarning(title, text);
        m_sentBeforeWarning |= m_link && Access::SendEvent(*m_link)->IsSet();
    }
    WarningRecorder m_recorder;
    CSerialLink* m_link = nullptr;
    bool m_sentBeforeWarning = false;
};

class HexCodecTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No port is needed: the transmit fields exist after any open, failed or not.
        ASSERT_FALSE(m_link.OpenPort(1, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
        m_watch.m_link = &m_link;
    }
    // Hands a command over and returns the bytes the thread would transmit; the request is
    // taken as the thread would take it.
    Bytes Send(const char* text) {
        m_link.SendHex(text);
        EXPECT_TRUE(Access::SendEvent(m_link)->IsSet()) << text;
        Access::SendEvent(m_link)->Reset();
        const std::uint8_t* buffer = Access::SendBuffer(m_link);
        return Bytes(buffer, buffer + Access::SendLength(m_link));
    }
    std::vector<std::string> Warnings() const { return m_watch.m_recorder.Texts(); }

    AllPortsMissing m_missing;
    HandOverWatch m_watch;
    CSerialLink m_link{&m_watch};
};

TEST_F(HexCodecTest, DigitValues) {
    const char* digits = "0123456789ABCDEF";
    for (unsigned value = 0; value < 16; ++value) {
        EXPECT_EQ(m_link.HexValue(digits[value]), value);
        EXPECT_EQ(CSerialLink::HexDigit(value), digits[value]);
    }
    EXPECT_TRUE(Warnings().empty());
    EXPECT_EQ(CSerialLink::HexDigit(16), 'X');
    EXPECT_EQ(CSerialLink::HexDigit(255), 'X');
    EXPECT_EQ(CSerialLink::HexDigit(0x10A), 'A');  // only the low eight bits count
}

TEST_F(HexCodecTest, NonDigitsGiveSixteenAndOneWarningEach) {
    for (char c : {':', '@', 'G', 'a', 'f', '/', '\0'}) {
        EXPECT_EQ(m_link.HexValue(c), 16) << static_cast<int>(c);
    }
    EXPECT_EQ(Warnings(), (std::vector<std::string>{BadSymbolWarning(":"), BadSymbolWarning("@"),
                                                    BadSymbolWarning("G"), BadSymbolWarning("a"),
                                                    BadSymbolWarning("f"), BadSymbolWarning("/"),
                                                    BadSymbolWarning("")}));
}

TEST_F(HexCodecTest, CommandsOfTheCameraProtocol) {
    EXPECT_EQ(Send("05807F"), (Bytes{0x05, 0x80, 0x7F}));
    EXPECT_EQ(Send("103B04"), (Bytes{0x10, 0x3B, 0x04}));
    EXPECT_EQ(Send("01801320030001FF01011F0201190301FF8001078101FFCF"),
              (Bytes{0x01, 0x80, 0x13, 0x20, 0x03, 0x00, 0x01, 0xFF, 0x01, 0x01, 0x1F, 0x02,
                     0x01, 0x19, 0x03, 0x01, 0xFF, 0x80, 0x01, 0x07, 0x81, 0x01, 0xFF, 0xCF}));
    EXPECT_EQ(Send("01800E10204D4000F802FFFFFFFFFFFFFFFFC9"),
              (Bytes{0x01, 0x80, 0x0E, 0x10, 0x20, 0x4D, 0x40, 0x00, 0xF8, 0x02, 0xFF, 0xFF, 0xFF,
                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xC9}));
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(HexCodecTest, LowercasePairsWarnInTextOrderBeforeTheHandOver) {
    EXPECT_EQ(Send("1a"), (Bytes{0x20}));
    EXPECT_EQ(Send("a1"), (Bytes{0x01}));
    EXPECT_EQ(Send("ff"), (Bytes{0x10}));
    EXPECT_EQ(Send("g0Ah"), (Bytes{0x00, 0xB0}));  // 16*16+0 wraps to 0; 16*10+16
    EXPECT_EQ(Warnings(), (std::vector<std::string>{BadSymbolWarning("a"), BadSymbolWarning("a"),
                                                    BadSymbolWarning("f"), BadSymbolWarning("f"),
                                                    BadSymbolWarning("g"), BadSymbolWarning("h")}));
    EXPECT_FALSE(m_watch.m_sentBeforeWarning);
}

TEST_F(HexCodecTest, BytesAfterTheCommandAreZero) {
    Send("01801320030001FF01011F0201190301FF8001078101FFCF");
    Send("05807F");
    const std::uint8_t* buffer = Access::SendBuffer(m_link);
    EXPECT_EQ(Bytes(buffer + 3, buffer + 100), Bytes(97, 0));
}

TEST_F(HexCodecTest, TextsOutsideTheContractAreRefused) {
    Send("05807F");
    const std::string longest(128, '7');
    EXPECT_EQ(Send(longest.c_str()), Bytes(64, 0x77));

    for (const std::string& text :
         {std::string(), std::string("0"), std::string("05807"), std::string(130, '7')}) {
        m_link.SendHex(text.c_str());
        EXPECT_FALSE(Access::SendEvent(m_link)->IsSet()) << text;
    }
    EXPECT_EQ(Access::SendLength(m_link), 64);  // the last accepted command stays
    const std::vector<std::string> warnings = Warnings();
    ASSERT_EQ(warnings.size(), 4u);
    EXPECT_EQ(warnings[2],
              "WARNING:  SendHex() Failed with the following error: \nCommand text of 5 "
              "characters; it must have an even number from 2 to 128.\nPort: 1\n");
}

TEST_F(HexCodecTest, NothingIsHandedOverOnceCancelled) {
    m_link.Cancel();
    m_link.SendHex("05807F");
    EXPECT_FALSE(Access::SendEvent(m_link)->IsSet());
}

}  // namespace
