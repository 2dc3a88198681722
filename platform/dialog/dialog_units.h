// Dialog units to pixels: a horizontal unit is a quarter of the dialog font's average character
// width, a vertical unit an eighth of its height.
#pragma once

#include <optional>

#include "platform/dialog/dialog_template.h"

class QFont;

namespace platform {

struct BaseUnits {
    int x;
    int y;
};

struct PixelRect {
    int x, y, width, height;
    bool operator==(const PixelRect&) const = default;
};

// a * b / c rounded half away from zero, computed in 64 bits; -1 when c is 0 or the result
// does not fit.
int MulDiv(int a, int b, int c);

PixelRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base);

// The base units of a font: the average width of "A".."Z" "a".."z" (rounded) and its height.
BaseUnits BaseUnitsOf(const QFont& font);

// Fixes the base units every dialog uses from now on (nullopt: measure the font again), so
// that geometry does not depend on the fonts a machine has.
void OverrideBaseUnits(std::optional<BaseUnits> base);
std::optional<BaseUnits> BaseUnitsOverride();

}  // namespace platform
