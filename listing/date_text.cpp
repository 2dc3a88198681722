// The header's date text.
#include <cstdio>

#include "listing/list_command.h"
#include "platform/local_time.h"

std::string DateText(std::time_t when) {
    // "%A, %B %d, %Y" in English whatever locale the process runs in (a GUI sets it from the
    // environment), so the names are spelt out here rather than asked of the locale.
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    std::tm local{};
    if (!platform::LocalTime(when, local) || local.tm_wday < 0 || local.tm_wday > 6 ||
        local.tm_mon < 0 || local.tm_mon > 11) {
        return "";
    }
    char day[4];
    std::snprintf(day, sizeof day, "%02d", local.tm_mday);
    return std::string(kDays[local.tm_wday]) + ", " + kMonths[local.tm_mon] + " " + day + ", " +
           std::to_string(1900 + local.tm_year);
}
