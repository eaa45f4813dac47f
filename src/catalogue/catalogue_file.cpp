#include "catalogue/catalogue_file.h"

#include <algorithm>

#include "catalogue/rom_names.h"
#include "catalogue/windows1252.h"

namespace quarvel {
namespace {

bool IsBlank(std::uint8_t byte) { return byte == ' ' || byte == '\t'; }
bool IsLineEnd(std::uint8_t byte) { return byte == '\r' || byte == '\n'; }

// Moves `at` past the line end that starts there: CR LF, CR or LF.
void SkipLineEnd(std::span<const std::uint8_t> bytes, std::size_t& at) {
  if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
  ++at;
}

// Moves `at` past the next comma or line end.
void SkipSeparator(std::span<const std::uint8_t> bytes, std::size_t& at) {
  while (at < bytes.size() && bytes[at] != ',' && !IsLineEnd(bytes[at])) ++at;
  if (at == bytes.size()) return;
  if (bytes[at] == ',')
    ++at;
  else
    SkipLineEnd(bytes, at);
}

}  // namespace

std::vector<std::string> ParseCatalogue(std::span<const std::uint8_t> bytes) {
  std::vector<std::string> entries;
  std::size_t at = 0;
  while (at < bytes.size()) {
    while (at < bytes.size() && IsBlank(bytes[at])) ++at;
    if (at == bytes.size()) break;
    if (bytes[at] == '"') {
      std::size_t end = at + 1;
      while (end < bytes.size() && bytes[end] != '"' && !IsLineEnd(bytes[end])) ++end;
      entries.push_back(Windows1252ToUtf8(bytes.subspan(at + 1, end - at - 1)));
      at = end < bytes.size() && bytes[end] == '"' ? end + 1 : end;
      SkipSeparator(bytes, at);
      continue;
    }
    std::size_t end = at;
    while (end < bytes.size() && bytes[end] != ',' && !IsLineEnd(bytes[end])) ++end;
    std::size_t last = end;
    while (last > at && IsBlank(bytes[last - 1])) --last;
    if (last > at) entries.push_back(Windows1252ToUtf8(bytes.subspan(at, last - at)));
    at = end;
    SkipSeparator(bytes, at);
  }
  return entries;
}

std::vector<std::uint8_t> SerializeCatalogue(const std::vector<std::string>& entries) {
  std::vector<std::uint8_t> bytes;
  for (const auto& entry : entries) {
    bytes.push_back('"');
    for (const auto byte : Utf8ToWindows1252(entry)) bytes.push_back(byte == '"' ? '\'' : byte);
    bytes.insert(bytes.end(), {'"', '\r', '\n'});
  }
  return bytes;
}

std::vector<std::string> AsWritten(const std::vector<std::string>& entries) {
  return ParseCatalogue(SerializeCatalogue(entries));
}

CatalogueLoad LoadCatalogue(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return {CatalogueLoad::Status::Missing, {}, {}};
  const auto contents = ReadRegularFile(path, kCatalogueFileLimit);
  if (!contents) {
    const FileFailure& failure = contents.error();
    // "cannot read the catalogue file '...': why", "the catalogue file '...' is larger than 8 MiB"
    constexpr std::string_view kCannotRead = "cannot read ";
    std::string problem = failure.message;
    problem.insert(problem.rfind(kCannotRead, 0) == 0 ? kCannotRead.size() : 0, "the catalogue file ");
    return {CatalogueLoad::Status::Failed, {}, std::move(problem)};
  }
  return {CatalogueLoad::Status::Loaded, ParseCatalogue(*contents), {}};
}

std::filesystem::path CatalogueLockPath(const std::filesystem::path& catalogue) {
  std::filesystem::path name = ".";
  name += catalogue.filename();
  name += ".lock";
  return catalogue.parent_path() / name;
}

void ProtectCatalogues(ProtectedFiles& files, const CatalogueLocation& location) {
  ProtectCatalogues(files, location.folder);
  if (location.shipped) ProtectCatalogues(files, *location.shipped);
}

void ProtectCatalogues(ProtectedFiles& files, const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& rom : kRomCatalogues) {
    names.push_back(std::string(rom.baseName) + ".dat");
  }
  files.AddNames(folder, std::move(names), "a catalogue file of known locations");
}

FileResult<CatalogueWriter> CatalogueWriter::Begin(const std::filesystem::path& path, const ProtectedFiles* inputs) {
  auto replacement = FileReplacement::Begin(path, {inputs, LinkRule::FollowOwn});
  if (!replacement) return Fail(replacement.error());
  return CatalogueWriter(std::move(*replacement));
}

FileResult<void> CatalogueWriter::Commit(const std::vector<std::string>& entries) {
  const auto bytes = SerializeCatalogue(entries);
  if (bytes.size() > kCatalogueFileLimit) {
    return Fail(FileFailure{"the catalogue would take " + SizeText(bytes.size()) + ", more than the " +
                                SizeText(kCatalogueFileLimit) + " a catalogue file is read up to; it is left as it was",
                            std::make_error_code(std::errc::file_too_large)});
  }
  return replacement_->Commit(bytes);
}

FileResult<CatalogueEdit> CatalogueEdit::Begin(const std::filesystem::path& path) {
  auto lock = FileLock::Acquire(CatalogueLockPath(path));
  if (!lock) return Fail(lock.error());
  return Begin(path, path, std::move(*lock));
}

FileResult<CatalogueEdit> CatalogueEdit::Begin(const CatalogueLocation& location, std::string_view baseName) {
  if (location.folder.empty()) return Fail(FileFailure{location.problem, std::make_error_code(std::errc::no_such_file_or_directory)});
  std::error_code ignored;  // a folder that cannot be made fails at the lock, and says so
  if (location.userData) std::filesystem::create_directories(location.folder, ignored);
  auto lock = FileLock::Acquire(CatalogueLockPath(CatalogueToWrite(location, baseName)));
  if (!lock) return Fail(lock.error());
  return Begin(CatalogueToRead(location, baseName), CatalogueToWrite(location, baseName), std::move(*lock));
}

FileResult<CatalogueEdit> CatalogueEdit::Begin(const std::filesystem::path& read, const std::filesystem::path& write,
                                               FileLock lock) {
  CatalogueLoad load = LoadCatalogue(read);
  if (load.status == CatalogueLoad::Status::Failed) return Fail(FileFailure{load.problem, {}});
  return CatalogueEdit(write, std::move(lock), std::move(load.entries));
}

FileResult<void> CatalogueEdit::Save(const std::vector<std::string>& entries, const ProtectedFiles* inputs) {
  auto writer = CatalogueWriter::Begin(path_, inputs);
  if (!writer) return Fail(writer.error());
  auto saved = writer->Commit(entries);
  if (saved) entries_ = entries;
  return saved;
}

FileResult<void> SaveCatalogue(const std::filesystem::path& path, const std::vector<std::string>& entries) {
  auto lock = FileLock::Acquire(CatalogueLockPath(path));
  if (!lock) return Fail(lock.error());
  auto writer = CatalogueWriter::Begin(path);
  if (!writer) return Fail(writer.error());
  return writer->Commit(entries);
}

}  // namespace quarvel
