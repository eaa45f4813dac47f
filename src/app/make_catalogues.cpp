// Writes the shipped catalogues: each data/catalogues/NAME.tsv as NAME.dat in a folder.
// Usage: make_catalogues TSV_FOLDER OUT_FOLDER [--keep [WRITTEN_FOLDER]]
// --keep leaves a file that is there already, the user's own in a build tree, unless it is
// still what this program last wrote (a copy of which it keeps in WRITTEN_FOLDER): a
// catalogue the user never changed follows the data.
#include <cstdio>
#include <filesystem>
#include <string>

#include "catalogue/catalogue_file.h"
#include "catalogue/known_blocks.h"
#include "catalogue/rom_names.h"
#include "files/files.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5 || (argc >= 4 && std::string(argv[3]) != "--keep")) {
    std::fprintf(stderr, "usage: make_catalogues TSV_FOLDER OUT_FOLDER [--keep [WRITTEN_FOLDER]]\n");
    return 2;
  }
  const std::filesystem::path from = argv[1], to = argv[2], written = argc == 5 ? argv[4] : "";
  const bool keep = argc >= 4;
  // Whether `file` holds exactly what was last written there.
  const auto unchanged = [&written](const std::filesystem::path& file) {
    if (written.empty()) return false;
    const auto now = quarvel::ReadWholeFile(file, quarvel::kCatalogueFileLimit);
    const auto last = quarvel::ReadWholeFile(written / file.filename(), quarvel::kCatalogueFileLimit);
    return now && last && *now == *last;
  };
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
    if (keep && std::filesystem::exists(status) && (std::filesystem::is_symlink(status) || !unchanged(target)))
      continue;  // the user's, or a link: never written through
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
    if (!written.empty()) {
      std::filesystem::create_directories(written, error);
      std::filesystem::copy_file(target, written / target.filename(), std::filesystem::copy_options::overwrite_existing,
                                 error);
    }
  }
  return 0;
}
