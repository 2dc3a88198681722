// A dialog's layout as data: each control's id, text and rectangle in dialog units, in template
// order, which is also the order of creation and of the Tab key.
#pragma once

#include <algorithm>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

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

    // The entry of the control with id `id`.
    const ControlTemplate& Control(int id) const {
        return Find([id](const ControlTemplate& c) { return c.id == id; },
                    "id " + std::to_string(id));
    }
    // The entry of the control without an id (a label, a frame) that shows `text`.
    const ControlTemplate& Static(std::string_view text) const {
        return Find([text](const ControlTemplate& c) { return c.id == kNoId && c.text == text; },
                    '"' + std::string(text) + '"');
    }

private:
    // A control the window asks for is in its template: anything else is a fault of the program.
    template <class Match>
    const ControlTemplate& Find(Match match, const std::string& what) const {
        const auto entry = std::ranges::find_if(controls, match);
        if (entry == controls.end()) {
            throw std::logic_error(std::string("no control with ") + what + " in " + caption);
        }
        return *entry;
    }
};
