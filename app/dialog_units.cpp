#include "app/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <cstdint>

namespace {
std::optional<BaseUnits> g_override;
}

int MulDiv(int a, int b, int c) {
    return static_cast<int>((static_cast<std::int64_t>(a) * b + c / 2) / c);
}

QRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base) {
    return {MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(cx, base.x, 4),
            MulDiv(cy, base.y, 8)};
}

BaseUnits BaseUnitsOf(const QFont& font) {
    if (g_override) {
        return *g_override;
    }
    const QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(total / 26 + 1) / 2, metrics.height()};
}

void OverrideBaseUnits(std::optional<BaseUnits> base) {
    g_override = base;
}
