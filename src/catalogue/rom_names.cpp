#include "catalogue/rom_names.h"

#include <string>

#include "common/ascii.h"
#include "files/files.h"

namespace quarvel {

std::optional<RomCatalogue> FindRomCatalogue(std::string_view name) {
  constexpr std::string_view kExtension = ".dat";
  const bool file = name.size() > kExtension.size() && EqualIgnoringAsciiCase(name.substr(name.size() - 4), kExtension);
  const std::string_view base = file ? name.substr(0, name.size() - kExtension.size()) : name;
  for (const auto& rom : kRomCatalogues)
    if ((!file && EqualIgnoringAsciiCase(name, rom.listText)) || EqualIgnoringAsciiCase(base, rom.baseName)) return rom;
  return std::nullopt;
}

std::filesystem::path CatalogueFilePath(const std::filesystem::path& directory, std::string_view baseName) {
  return directory / PathFromUtf8(std::string(baseName) + ".dat");
}

}  // namespace quarvel
