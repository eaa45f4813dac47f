// Writes the shipped catalogues: each data/catalogues/NAME.tsv as NAME.dat in a folder.
// Usage: make_catalogues TSV_FOLDER OUT_FOLDER [--keep]  (--keep: leave a file that is
// there already, the user's own in a build tree)
#include <cstdio>
#include <filesystem>
#include <string>

#include "catalogue/catalogue_file.h"
#include "catalogue/known_blocks.h"
#include "catalogue/rom_names.h"
#include "files/files.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--keep")) {
    std::fprintf(stderr, "usage: make_catalogues TSV_FOLDER OUT_FOLDER [--keep]\n");
    return 2;
  }
  const std::filesystem::path from = argv[1], to = argv[2];
  const bool keep = argc == 4;
  for (const auto& rom : quarvel::kRomCatalogues) {
    const auto source = from / (std::string(rom.baseName) + ".tsv");
    if (!std::filesystem::exists(source)) continue;
    const auto target = quarvel::CatalogueFilePath(to, rom.baseName);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(target, error);
    if (std::filesystem::is_symlink(status) && !std::filesystem::exists(target, error)) {
      std::fprintf(stderr, "make_catalogues: %s is a link to nothing: passed over\n", target.string().c_str());
      continue;
    }
    if (keep && std::filesystem::exists(status)) continue;  // a link too: never written through
    const auto bytes = quarvel::ReadWholeFile(source, quarvel::kCatalogueFileLimit);
    if (!bytes) {
      std::fprintf(stderr, "make_catalogues: %s\n", bytes.error().message.c_str());
      return 1;
    }
    const auto known = quarvel::ParseKnownBlocks(std::string(bytes->begin(), bytes->end()));
    if (!known) {
      std::fprintf(stderr, "make_catalogues: %s: %s\n", source.string().c_str(), known.error().c_str());
      return 1;
    }
    if (const auto saved = quarvel::SaveCatalogue(target, known->entries); !saved) {
      std::fprintf(stderr, "make_catalogues: %s\n", saved.error().message.c_str());
      return 1;
    }
  }
  return 0;
}
