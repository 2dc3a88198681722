// A dialog's layout as data: each control's id, text and rectangle in dialog units, in template
// order, which is also the order of creation and of the Tab key.
#pragma once

#include <span>

// The id of a control without one.
inline constexpr int kNoId = -1;

struct ControlTemplate {
    int id;  // kNoId for a control without one
    const char* text;
    int x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    const char* caption;
    int cx, cy;  // the client area, in dialog units
    const char* fontName;
    int fontPoints;
    std::span<const ControlTemplate> controls;
};
