// The dialog's window menu: the platform's commands, then what the program appends. Choosing an
// entry sends the dialog a SysCommand with the entry's id.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr unsigned MF_STRING = 0x0;
inline constexpr unsigned MF_SEPARATOR = 0x800;

class CMenu {
public:
    struct Item {
        unsigned flags;
        std::uint32_t id;
        std::string text;  // '&' marks the access key
    };

    bool AppendMenu(unsigned flags, std::uint32_t id = 0, const std::string& text = {});
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};
