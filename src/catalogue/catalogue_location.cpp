#include "catalogue/catalogue_location.h"

#include "catalogue/rom_names.h"
#include "files/native_file.h"

namespace quarvel {

CatalogueLocation LocateCatalogues(const std::filesystem::path& programFolder, const std::filesystem::path& userData) {
  std::error_code error;
  const std::filesystem::path shipped = programFolder / ".." / "share" / "quarvel";
  const bool installed = std::filesystem::is_directory(shipped, error);
  // A folder that is gone is no reason to move: what is done there fails, and says so.
  const bool writable = native::MayWrite(programFolder) ||
                        native::Look(programFolder, true).kind == native::Entry::Kind::None;
  if (!installed && writable) return {programFolder, std::nullopt, false};
  return {userData, installed ? std::optional(std::filesystem::weakly_canonical(shipped, error)) : std::nullopt, true};
}

std::filesystem::path CatalogueToRead(const CatalogueLocation& location, std::string_view baseName) {
  const std::filesystem::path own = CatalogueFilePath(location.folder, baseName);
  std::error_code error;
  if (!location.shipped || std::filesystem::exists(own, error)) return own;
  const std::filesystem::path shipped = CatalogueFilePath(*location.shipped, baseName);
  return std::filesystem::exists(shipped, error) ? shipped : own;
}

std::filesystem::path CatalogueToWrite(const CatalogueLocation& location, std::string_view baseName) {
  return CatalogueFilePath(location.folder, baseName);
}

}  // namespace quarvel
