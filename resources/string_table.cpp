#include "resources/string_table.h"

#include <map>

#include "resources/resource.h"

namespace {

std::map<unsigned, std::optional<std::string>>& Overrides() {
    static std::map<unsigned, std::optional<std::string>> overrides;
    return overrides;
}

}  // namespace

std::string LoadResourceString(unsigned id) {
    if (auto it = Overrides().find(id); it != Overrides().end()) {
        return it->second.value_or(std::string());
    }
    switch (id) {
        case IDS_ABOUT_ENTRY:
            return "&About Vexlarin...";
        default:
            return {};
    }
}

void OverrideResourceString(unsigned id, std::optional<std::string> text) {
    Overrides()[id] = std::move(text);
}

void RestoreResourceStrings() {
    Overrides().clear();
}
