// The program's string table.
#pragma once

#include <optional>
#include <string>

// The string with resource id `id`; empty when there is none.
std::string LoadResourceString(unsigned id);

// Replaces a string (nullopt: as if missing) until called again with the original; for trying
// the program's handling of an empty or missing entry.
void OverrideResourceString(unsigned id, std::optional<std::string> text);
void RestoreResourceStrings();
