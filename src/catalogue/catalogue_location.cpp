#include "catalogue/catalogue_location.h"

#include "catalogue/rom_names.h"
#include "files/native_file.h"
#include "platform/program_directory.h"

namespace quarvel {

CatalogueLocation LocateCatalogues(const std::filesystem::path& programFolder, const std::filesystem::path& userData) {
  std::error_code error;
  const std::filesystem::path shipped = programFolder / ".." / "share" / "quarvel" / "catalogues";
  const bool installed = std::filesystem::is_directory(shipped, error);
  // A folder that is gone is no reason to move: what is done there fails, and says so.
  // The administrator may write anywhere, but keeps out of a folder another user owns.
  const native::Entry folder = native::Look(programFolder, true);
  const bool writable = folder.kind == native::Entry::Kind::None ||
                        (native::MayWrite(programFolder) && (folder.ownedByUser || !native::RunsAsAdministrator()));
  if (!installed && writable) return {programFolder, std::nullopt, false, {}};
  // The user's own copies, and until the first change, what the program ships or has beside it.
  CatalogueLocation location{userData, installed ? std::filesystem::weakly_canonical(shipped, error) : programFolder,
                             true, {}};
  if (userData.empty()) {
    location.problem = "there is no folder for your catalogues: " + std::string(UserDataVariable()) +
                       " is not set (set it, or name a folder with --catalogue-dir)";
  }
  return location;
}

std::filesystem::path CatalogueToRead(const CatalogueLocation& location, std::string_view baseName) {
  const std::filesystem::path own = CatalogueToWrite(location, baseName);
  std::error_code error;
  if (!location.shipped || (!own.empty() && std::filesystem::exists(own, error))) return own;
  const std::filesystem::path shipped = CatalogueFilePath(*location.shipped, baseName);
  return std::filesystem::exists(shipped, error) ? shipped : own;
}

std::filesystem::path CatalogueToWrite(const CatalogueLocation& location, std::string_view baseName) {
  return location.folder.empty() ? std::filesystem::path() : CatalogueFilePath(location.folder, baseName);
}

}  // namespace quarvel
