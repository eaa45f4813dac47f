#include "catalogue/catalogue_file.h"

#include <algorithm>

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
      const auto close = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at) + 1, bytes.end(), '"');
      const std::size_t end = static_cast<std::size_t>(close - bytes.begin());
      entries.push_back(Windows1252ToUtf8(bytes.subspan(at + 1, end - at - 1)));
      at = std::min(end + 1, bytes.size());
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

CatalogueLoad LoadCatalogue(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return {CatalogueLoad::Status::Missing, {}};
  const FileContents contents = ReadWholeFile(path);
  return {contents.error ? CatalogueLoad::Status::Failed : CatalogueLoad::Status::Loaded,
          ParseCatalogue(contents.bytes)};
}

Expected<CatalogueWriter, std::error_code> CatalogueWriter::Begin(const std::filesystem::path& path) {
  auto replacement = FileReplacement::Begin(path);
  if (!replacement) return Fail(replacement.error());
  return CatalogueWriter(std::move(*replacement));
}

std::error_code CatalogueWriter::Commit(const std::vector<std::string>& entries) {
  return replacement_->Commit(SerializeCatalogue(entries));
}

std::error_code SaveCatalogue(const std::filesystem::path& path, const std::vector<std::string>& entries) {
  auto writer = CatalogueWriter::Begin(path);
  if (!writer) return writer.error();
  return writer->Commit(entries);
}

}  // namespace quarvel
