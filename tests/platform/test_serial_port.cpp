// What the port layer does that an open of a pseudo-terminal cannot show: settings texts it
// never meets there.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/serial_port.h"
#include "support/pty_pair.h"

namespace {

// Every caller opens at 9600 8N1 (the open-port tests show it on the line); the other values
// only here.
TEST(BuildPortState, TakesOtherSettingsAndRefusesWhatItCannotTake) {
    platform::PortState state;
    ASSERT_TRUE(platform::BuildPortState("baud=19200 parity=E data=7 stop=2", state));
    EXPECT_EQ(cfgetospeed(&state.tio), B19200);
    EXPECT_EQ(state.tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB),
              static_cast<tcflag_t>(CS7 | PARENB | CSTOPB));
    ASSERT_TRUE(platform::BuildPortState("baud=1200 parity=O data=5 stop=1", state));
    EXPECT_EQ(cfgetispeed(&state.tio), B1200);
    EXPECT_EQ(state.tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB),
              static_cast<tcflag_t>(CS5 | PARENB | PARODD));
    for (const char* bad : {"baud=9601 parity=N data=8 stop=1", "baud=9600 parity=X data=8 stop=1",
                            "baud=9600 parity=N data=9 stop=1", "baud=9600 parity=N data=4 stop=1",
                            "baud=9600 parity=N data=8 stop=3", "9600,N,8,1", ""}) {
        platform::SetLastError(0);
        EXPECT_FALSE(platform::BuildPortState(bad, state)) << bad;
        EXPECT_EQ(platform::GetLastError(), EINVAL) << bad;
    }
}

}  // namespace
