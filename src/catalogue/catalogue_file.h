// Catalogue files: Windows-1252 text, one record per entry, each a double quote, the
// entry, a double quote and CR LF; an empty catalogue is an empty file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "common/expected.h"
#include "platform/files.h"

namespace quarvel {

// The most entries a catalogue holds.
inline constexpr std::size_t kMaxCatalogueEntries = 32767;

// The entries of a catalogue file's bytes. Any bytes give some list, never a failure:
// blanks before a record are skipped; a quoted record runs to the next quote (or the
// end), and what follows it up to the next comma or line end is dropped; an unquoted
// one runs to the next comma or line end, without its trailing blanks, and is left out
// when empty. CR LF, a lone CR and a lone LF each end a line.
std::vector<std::string> ParseCatalogue(std::span<const std::uint8_t> bytes);

// The bytes of a file holding `entries`; a double quote inside an entry becomes an
// apostrophe.
std::vector<std::uint8_t> SerializeCatalogue(const std::vector<std::string>& entries);

struct CatalogueLoad {
  enum class Status {
    Loaded,   // the whole file was read
    Missing,  // there is no file: an empty catalogue
    Failed,   // the file exists but could not be read whole: `entries` is what was read
  };
  Status status = Status::Missing;
  std::vector<std::string> entries;
};

CatalogueLoad LoadCatalogue(const std::filesystem::path& path);

// Rewrites a catalogue file whole: Begin fails, leaving the file as it was, when its
// folder cannot be written; Commit writes the entries, or leaves the old file intact.
class CatalogueWriter {
 public:
  static Expected<CatalogueWriter, std::error_code> Begin(const std::filesystem::path& path);
  std::error_code Commit(const std::vector<std::string>& entries);

 private:
  explicit CatalogueWriter(std::unique_ptr<FileReplacement> replacement) : replacement_(std::move(replacement)) {}
  std::unique_ptr<FileReplacement> replacement_;
};

// Begin and Commit in one.
std::error_code SaveCatalogue(const std::filesystem::path& path, const std::vector<std::string>& entries);

}  // namespace quarvel
