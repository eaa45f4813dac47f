#include "catalogue/rom_names.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "files/files.h"

namespace quarvel {
namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<RomCatalogue> FindRomCatalogue(std::string_view name) {
  constexpr std::string_view kExtension = ".dat";
  const bool file = name.size() > kExtension.size() && EqualIgnoringCase(name.substr(name.size() - 4), kExtension);
  const std::string_view base = file ? name.substr(0, name.size() - kExtension.size()) : name;
  for (const auto& rom : kRomCatalogues)
    if ((!file && EqualIgnoringCase(name, rom.listText)) || EqualIgnoringCase(base, rom.baseName)) return rom;
  return std::nullopt;
}

std::filesystem::path CatalogueFilePath(const std::filesystem::path& directory, std::string_view baseName) {
  return directory / PathFromUtf8(std::string(baseName) + ".dat");
}

}  // namespace quarvel
