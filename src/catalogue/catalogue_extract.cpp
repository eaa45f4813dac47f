#include "catalogue/catalogue_extract.h"

#include <set>

#include "catalogue/entry.h"
#include "catalogue/windows1252.h"
#include "offset/offset_text.h"
#include "files/files.h"

namespace quarvel {
namespace {

constexpr std::size_t kDescriptionCharacters = 60;

bool IsKeptAscii(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '(' || c == ')' || c == '+';
}

std::string SafeText(std::string_view text) {
  std::string safe;
  for (const char c : FirstCharacters(text, kDescriptionCharacters)) {
    const bool kept = static_cast<unsigned char>(c) >= 0x80 || IsKeptAscii(c);
    if (kept)
      safe += c;
    else if (!safe.empty() && safe.back() != '_')
      safe += '_';
  }
  while (!safe.empty() && (safe.back() == '_' || safe.back() == '.')) safe.pop_back();
  return safe;
}

}  // namespace

std::string ExtractFileName(std::string_view offsetDigits, Format format, std::string_view description) {
  std::string name = std::string(offsetDigits) + "_" + std::string(FormatName(format));
  const std::string safe = SafeText(description);
  if (!safe.empty()) name += "_" + safe;
  return name + ".dat";
}

void ExtractCatalogue(const RomReader& rom, const std::vector<std::string>& entries, const std::filesystem::path& folder,
                      const ReplaceOptions& options, const std::function<void(const EntryExtraction&)>& report) {
  std::set<std::string> used;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EntryExtraction outcome{i + 1, entries[i], {}, std::nullopt};
    const auto offset = ParseOffsetText(EntryOffsetText(entries[i]), Radix::Hex);
    const auto format = EntryFormat(entries[i]);
    if (!offset || !format) {
      report(outcome);
      continue;
    }
    std::string digits = FormatEntry(*offset, *format, "").substr(0, kEntryOffsetLength);
    const std::string first = ExtractFileName(digits, *format, EntryDescription(entries[i]));
    std::string name = first;
    for (int copy = 2; used.count(name) != 0; ++copy)
      name = first.substr(0, first.size() - 4) + "_" + std::to_string(copy) + ".dat";
    used.insert(name);
    outcome.file = folder / PathFromUtf8(name);
    const auto read = [&rom, format](const std::filesystem::path&, std::int64_t at) { return rom(*format, at); };
    outcome.result = ExtractBlock({}, outcome.file, *offset, read, options);
    report(outcome);
  }
}

}  // namespace quarvel
