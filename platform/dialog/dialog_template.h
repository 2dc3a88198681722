// Dialog templates held as data: the controls of a dialog with their class, id, text, style and
// rectangle in dialog units, in template order (which is also the tab and creation order).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialog/icon.h"

// The framework's command ids of the OK and Cancel buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

namespace platform {

enum class ControlClass { Button, ListBox, Edit, Static };

// Window and control styles, with the values of the dialog framework so templates read as
// they were written.
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_GROUP = 0x00020000;
inline constexpr std::uint32_t WS_HSCROLL = 0x00100000;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr std::uint32_t BS_AUTO3STATE = 0x6;
inline constexpr std::uint32_t BS_GROUPBOX = 0x7;
inline constexpr std::uint32_t BS_TYPEMASK = 0xF;
inline constexpr std::uint32_t SS_LEFT = 0x0;
inline constexpr std::uint32_t SS_ICON = 0x3;
inline constexpr std::uint32_t SS_TYPEMASK = 0x1F;
inline constexpr std::uint32_t SS_NOPREFIX = 0x80;
inline constexpr std::uint32_t ES_LEFT = 0x0;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x80;
inline constexpr std::uint32_t ES_READONLY = 0x800;

// A control without an id of its own.
inline constexpr int kNoId = -1;

struct ControlTemplate {
    ControlClass cls;
    int id;
    std::string text;  // for an SS_ICON static: the icon's resource id in decimal
    std::uint32_t style;
    int x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    int id;
    std::string caption;
    int x, y, cx, cy;  // dialog units; cx, cy are the client area
    std::string fontName;
    int fontPoints;
    std::vector<ControlTemplate> controls;
    // Where the template's icons come from: the resources of the module that holds it.
    HICON (*loadIcon)(int id) = nullptr;
};

}  // namespace platform
