// The text of the tool's warnings, worked out by hand from the warning format.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "support/pty_pair.h"
#include "support/warning_recorder.h"

namespace {

const std::string kHead = "WARNING:  Op() Failed with the following error: \n";

TEST(ReportError, ComposesTheWarningFromOperationDetailOrSystemTextAndPort) {
    AllPortsMissing missing;
    WarningRecorder warnings;
    CSerialLink link(&warnings);
    // A failed open records the port tried: the warnings name it.
    ASSERT_FALSE(link.OpenPort(2, 9600, 'N', 8, 1, platform::EV_RXCHAR, 512));
    struct Case {
        const char* operation;
        const char* detail;
        std::string text;
    };
    const std::string system = "No such file or directory\nPort: 2\n";
    const std::string detail300(300, 'd');
    const Case cases[] = {
        {"DV Camera not responding. ", "TimeOut. Check connection between port and camera.",
         "WARNING:  DV Camera not responding.  Failed with the following error: \n"
         "TimeOut. Check connection between port and camera.\nPort: 2\n"},
        // Only a detail of more than two characters takes the system text's place.
        {"Op()", "", kHead + system},
        {"Op()", "x", kHead + system},
        {"Op()", "ab", kHead + system},
        {"Op()", nullptr, kHead + system},
        {"Op()", "abc", kHead + "abc\nPort: 2\n"},
        // Never cut, however long: 10 + 4 + 35 + 300 + 9 characters.
        {"Op()", detail300.c_str(), kHead + detail300 + "\nPort: 2\n"},
    };
    for (const Case& c : cases) {
        platform::SetLastError(ENOENT);
        link.ReportError(c.operation, c.detail);
    }
    const std::vector<std::string> texts = warnings.Texts();
    ASSERT_EQ(texts.size(), std::size(cases));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], cases[i].text) << i;
        EXPECT_EQ(warnings.Titles()[i], "Application Error");
    }
    EXPECT_EQ(texts.back().size(), 358u);

    // A code the system has no text for is named by its number.
    platform::SetLastError(76543);
    link.ReportError("Op()", "");
    const std::string unknown = warnings.Texts().back();
    EXPECT_EQ(unknown.rfind(kHead, 0), 0u);
    EXPECT_NE(unknown.find("76543"), std::string::npos) << unknown;
    EXPECT_EQ(unknown.substr(unknown.size() - 9), "\nPort: 2\n");

    // The monitor thread reports with its own last error, not the dialog thread's.
    platform::SetLastError(ENOENT);
    std::thread monitor([&link] {
        platform::SetLastError(EIO);
        link.ReportError("Op()", "");
    });
    monitor.join();
    EXPECT_EQ(warnings.Texts().back(), kHead + "Input/output error\nPort: 2\n");
    EXPECT_EQ(platform::GetLastError(), ENOENT);

    // Once the user has stopped, a failure still on its way (a hang-up) is not shown.
    link.Cancel();
    link.ReportError("WaitCommEvent()", "");
    EXPECT_EQ(warnings.Count(), std::size(cases) + 2);
}

}  // namespace
