// The header's date text.
#include <locale.h>
#include <time.h>

#include "listing/list_command.h"

std::string DateText(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return "";
    }
    // The names stay English whatever locale the process runs in (a GUI sets it from the
    // environment).
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char text[128];
    const std::size_t length =
        cLocale ? strftime_l(text, sizeof text, "%A, %B %d, %Y", &local, cLocale) : 0;
    return std::string(text, length);
}
