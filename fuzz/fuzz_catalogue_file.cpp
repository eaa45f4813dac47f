// Catalogue files of any bytes through the paths the window and the command line take:
// a load, a locked edit that adds an entry, and a save; the file then holds exactly
// the serialised list, and loading it gives the list back.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "catalogue/catalogue_file.h"
#include "scratch_file.h"

namespace {

// A folder of its own on a memory file system when there is one: saves flush to the disk.
std::filesystem::path Folder() {
  const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  auto folder = base / ("quarvel-fuzz-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quarvel::fuzz::ScratchFile input;
  static const std::filesystem::path catalogue = Folder() / "Custom.dat";
  input.Hold(std::span<const std::uint8_t>(data, size));

  const auto load = quarvel::LoadCatalogue(input.Path());
  if (load.status != quarvel::CatalogueLoad::Status::Loaded) std::abort();
  if (!quarvel::SaveCatalogue(catalogue, load.entries)) std::abort();

  auto expected = load.entries;
  for (auto& entry : expected) std::replace(entry.begin(), entry.end(), '"', '\'');
  {
    auto edit = quarvel::CatalogueEdit::Begin(catalogue);
    if (!edit || edit->Entries() != expected) std::abort();
    expected.push_back("00000010 - <K> - added");
    if (!edit->Save(expected)) std::abort();
  }
  const auto saved = quarvel::LoadCatalogue(catalogue);
  if (saved.status != quarvel::CatalogueLoad::Status::Loaded || saved.entries != expected) std::abort();
  std::error_code ignored;
  if (std::filesystem::file_size(catalogue, ignored) != quarvel::SerializeCatalogue(expected).size()) std::abort();
  return 0;
}
