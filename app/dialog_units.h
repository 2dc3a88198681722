// Dialog units to pixels: a horizontal unit is a quarter of the dialog font's average character
// width, a vertical unit an eighth of its height.
#pragma once

#include <QGroupBox>
#include <QListWidget>
#include <QRect>
#include <optional>
#include <type_traits>

#include "app/dialog_template.h"

struct BaseUnits {
    int x;
    int y;
};

// a * b / c rounded half up, computed in 64 bits, for the non-negative sizes of a layout
// (c > 0).
int MulDiv(int a, int b, int c);

QRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base);

// The base units of a font: the average width of "A".."Z" "a".."z" (rounded) and its height;
// those given to OverrideBaseUnits instead while an override stands.
BaseUnits BaseUnitsOf(const QFont& font);

// Fixes the base units every dialog uses from now on (nullopt: measure the font again), so
// that a layout does not depend on the fonts a machine has.
void OverrideBaseUnits(std::optional<BaseUnits> base);

// Puts a control where its template entry says and gives it the entry's text.
template <class Control>
void Place(Control& control, const ControlTemplate& entry, BaseUnits base) {
    control.setGeometry(DialogUnitsToPixels(entry.x, entry.y, entry.cx, entry.cy, base));
    if constexpr (std::is_base_of_v<QGroupBox, Control>) {
        control.setTitle(entry.text);
    } else if constexpr (!std::is_base_of_v<QListWidget, Control>) {
        control.setText(entry.text);
    }
}
