// Catalogue files: Windows-1252 text, one record per entry, each a double quote, the
// entry, a double quote and CR LF; an empty catalogue is an empty file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_location.h"
#include "common/expected.h"
#include "files/files.h"

namespace quarvel {

// The most entries a catalogue holds.
inline constexpr std::size_t kMaxCatalogueEntries = 32767;
// The largest catalogue file read: 32,767 entries of 256 bytes fit with room to spare.
inline constexpr std::uint64_t kCatalogueFileLimit = 8ull << 20;

// The entries of a catalogue file's bytes. Any bytes give some list, never a failure:
// blanks before a record are skipped; a quoted record runs to the next quote, or to
// the end of its line when the quote is missing, and what follows the quote up to the
// next comma or line end is dropped; an unquoted one runs to the next comma or line
// end, without its trailing blanks, and is left out when empty. CR LF, a lone CR and a
// lone LF each end a line.
std::vector<std::string> ParseCatalogue(std::span<const std::uint8_t> bytes);

// The bytes of a file holding `entries`; a double quote inside an entry becomes an
// apostrophe.
std::vector<std::uint8_t> SerializeCatalogue(const std::vector<std::string>& entries);

// The entries as a load of the file that holds them gives them back (a double quote as
// an apostrophe): what a list of them and the file agree on.
std::vector<std::string> AsWritten(const std::vector<std::string>& entries);

struct CatalogueLoad {
  enum class Status {
    Loaded,   // the whole file was read
    Missing,  // there is no file: an empty catalogue
    Failed,   // the file exists but could not be read whole (or is larger than a catalogue can be)
  };
  Status status = Status::Missing;
  std::vector<std::string> entries;
  std::string problem;  // with Failed: why, naming the file
};

CatalogueLoad LoadCatalogue(const std::filesystem::path& path);

// The lock file that serialises the changes of a catalogue: ".Sonic1.dat.lock" beside it.
std::filesystem::path CatalogueLockPath(const std::filesystem::path& catalogue);

// The catalogue files of `folder`, or of a location, as files that no command replaces.
void ProtectCatalogues(ProtectedFiles& files, const std::filesystem::path& folder);
void ProtectCatalogues(ProtectedFiles& files, const CatalogueLocation& location);

// Rewrites a catalogue file whole: Begin fails, leaving the file as it was, when the
// file or its folder cannot be written, when it is one of `inputs` (the files a command
// reads), or when it is a symbolic link that it or what it leads to belongs to another
// user; Commit writes the entries, or leaves the old file intact, also when they would
// make a file larger than a catalogue is read. Takes no lock: see CatalogueEdit.
class CatalogueWriter {
 public:
  static FileResult<CatalogueWriter> Begin(const std::filesystem::path& path, const ProtectedFiles* inputs = nullptr);
  FileResult<void> Commit(const std::vector<std::string>& entries);

 private:
  explicit CatalogueWriter(std::unique_ptr<FileReplacement> replacement) : replacement_(std::move(replacement)) {}
  std::unique_ptr<FileReplacement> replacement_;
};

// One read-modify-write of a catalogue file, with its lock held from the read to the
// end of the save, so that two programs changing one catalogue never lose an entry.
class CatalogueEdit {
 public:
  // Waits for the catalogue's lock, then reads the file. Fails when the lock cannot be
  // had (a folder where no file can be made) or the file exists but cannot be read.
  static FileResult<CatalogueEdit> Begin(const std::filesystem::path& path);
  // The same for a catalogue of a location: it is read from where it is (the user's
  // own, or the shipped one) and saved as the user's own (the user's data folder is
  // made when missing).
  static FileResult<CatalogueEdit> Begin(const CatalogueLocation& location, std::string_view baseName);

  // What the file holds now; empty when there is no file.
  const std::vector<std::string>& Entries() const { return entries_; }
  // Replaces the file whole with `entries` (see CatalogueWriter).
  FileResult<void> Save(const std::vector<std::string>& entries, const ProtectedFiles* inputs = nullptr);

 private:
  CatalogueEdit(std::filesystem::path path, FileLock lock, std::vector<std::string> entries)
      : path_(std::move(path)), lock_(std::move(lock)), entries_(std::move(entries)) {}
  static FileResult<CatalogueEdit> Begin(const std::filesystem::path& read, const std::filesystem::path& write,
                                         FileLock lock);
  std::filesystem::path path_;
  FileLock lock_;
  std::vector<std::string> entries_;
};

// Replaces a catalogue file whole with `entries`, under its lock.
FileResult<void> SaveCatalogue(const std::filesystem::path& path, const std::vector<std::string>& entries);

}  // namespace quarvel
