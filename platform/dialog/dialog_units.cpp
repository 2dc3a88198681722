#include "platform/dialog/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {
std::optional<BaseUnits> g_override;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = std::llabs(c) / 2;
    // Round half away from zero, whatever the signs.
    const std::int64_t rounded = (product < 0) != (c < 0) ? (product - (c < 0 ? -half : half)) / c
                                                          : (product + (c < 0 ? -half : half)) / c;
    if (rounded > std::numeric_limits<int>::max() || rounded < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(rounded);
}

PixelRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base) {
    return {MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(cx, base.x, 4),
            MulDiv(cy, base.y, 8)};
}

BaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(total / 26 + 1) / 2, metrics.height()};
}

void OverrideBaseUnits(std::optional<BaseUnits> base) {
    g_override = base;
}

std::optional<BaseUnits> BaseUnitsOverride() {
    return g_override;
}

}  // namespace platform
