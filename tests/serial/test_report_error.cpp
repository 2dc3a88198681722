// The text of the tool's warnings, worked out by hand from the warning format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "platform/port_faults.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

class ReportErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPortFaults();
        // A failed open records the port tried: the warnings below name it.
        ASSERT_FALSE(m_link.OpenPort(2, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    }

    AllPortsMissing m_missing;
    WarningRecorder m_warnings;
    CSerialLink m_link{&m_warnings};
};

TEST_F(ReportErrorTest, CameraTimeOutComesOutAsThreeLinesAndALineBreak) {
    m_link.ReportError("DV Camera not responding. ",
                       "TimeOut. Check connection between port and camera.");
    ASSERT_EQ(m_warnings.Count(), 1u);
    EXPECT_EQ(m_warnings.Titles()[0], "Application Error");
    EXPECT_EQ(m_warnings.Texts()[0],
              "WARNING:  DV Camera not responding.  Failed with the following error: \n"
              "TimeOut. Check connection between port and camera.\n"
              "Port: 2\n");
}

TEST_F(ReportErrorTest, OnlyADetailOfMoreThanTwoCharactersReplacesTheSystemText) {
    platform::SetLastError(ENOENT);
    m_link.ReportError("Op()", "");
    m_link.ReportError("Op()", "x");
    m_link.ReportError("Op()", "ab");
    m_link.ReportError("Op()", "abc");
    m_link.ReportError("Op()", nullptr);
    const std::string head = "WARNING:  Op() Failed with the following error: \n";
    const std::string system = head + "No such file or directory\nPort: 2\n";
    const std::vector<std::string> texts = m_warnings.Texts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], system);
    EXPECT_EQ(texts[1], system);
    EXPECT_EQ(texts[2], system);
    EXPECT_EQ(texts[3], head + "abc\nPort: 2\n");
    EXPECT_EQ(texts[4], system);
}

TEST_F(ReportErrorTest, CodeWithoutSystemTextIsNamedByItsNumber) {
    platform::SetLastError(76543);
    m_link.ReportError("ReadFile()", "");
    ASSERT_EQ(m_warnings.Count(), 1u);
    const std::string text = m_warnings.Texts()[0];
    EXPECT_EQ(text.rfind("WARNING:  ReadFile() Failed with the following error: \n", 0), 0u);
    EXPECT_NE(text.find("76543"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 9), "\nPort: 2\n");
}

TEST_F(ReportErrorTest, LongWarningIsNeverCut) {
    const std::string detail(300, 'd');
    m_link.ReportError("WriteFile()", detail.c_str());
    ASSERT_EQ(m_warnings.Count(), 1u);
    // "WARNING:  " 10, operation 11, " Failed with the following error: \n" 35, detail 300,
    // "\nPort: 2\n" 9.
    EXPECT_EQ(m_warnings.Texts()[0].size(), 365u);
    EXPECT_EQ(m_warnings.Texts()[0],
              "WARNING:  WriteFile() Failed with the following error: \n" + detail + "\nPort: 2\n");
}

TEST_F(ReportErrorTest, EachThreadReportsItsOwnLastError) {
    platform::SetLastError(ENOENT);
    std::thread monitor([this] {
        platform::SetLastError(EIO);
        m_link.ReportError("WaitCommEvent()", "");
    });
    m_link.ReportError("SetCommMask()", "");
    monitor.join();
    std::vector<std::string> texts = m_warnings.Texts();
    ASSERT_EQ(texts.size(), 2u);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts[0],
              "WARNING:  SetCommMask() Failed with the following error: \n"
              "No such file or directory\nPort: 2\n");
    EXPECT_EQ(texts[1],
              "WARNING:  WaitCommEvent() Failed with the following error: \n"
              "Input/output error\nPort: 2\n");
}

TEST(ReportErrorWithoutSink, GoesToStandardError) {
    AllPortsMissing missing;
    CSerialLink link;
    EXPECT_FALSE(link.OpenPort(4, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    ::testing::internal::CaptureStderr();
    link.ReportError("Enter new value. ", "No recognized symbol: g");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Application Error: WARNING:  Enter new value.  Failed with the following error: \n"
              "No recognized symbol: g\nPort: 4\n");
}

}  // namespace
