// The nine ROMs that have a catalogue of known block locations, in the order of the
// window's ROM list.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quarvel {

struct RomCatalogue {
  std::string_view listText;  // as the ROM list shows it
  std::string_view baseName;  // the catalogue file is <baseName>.dat
};

inline constexpr std::array<RomCatalogue, 9> kRomCatalogues = {{
    {"Sonic 1", "Sonic1"},
    {"Sonic 1 Jap", "Sonic1J"},
    {"Sonic 2 Beta", "Sonic2B"},
    {"Sonic 2", "Sonic2"},
    {"Sonic 3", "Sonic3"},
    {"Sonic & Knuckles", "SonicK"},
    {"Sonic 2 & Knuckles", "Sonic2K"},
    {"Sonic 3 & Knuckles", "Sonic3K"},
    {"Custom", "Custom"},
}};

// The catalogue of the user's own ROMs, last in the list: no ROM image is taken for it.
inline constexpr std::string_view kCustomCatalogue = kRomCatalogues.back().baseName;

// The ROM whose list text, base name or catalogue file name is `name`, ignoring case.
std::optional<RomCatalogue> FindRomCatalogue(std::string_view name);

// <directory>/<baseName>.dat
std::filesystem::path CatalogueFilePath(const std::filesystem::path& directory, std::string_view baseName);

}  // namespace quarvel
