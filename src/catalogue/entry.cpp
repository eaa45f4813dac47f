#include "catalogue/entry.h"

#include <algorithm>

#include "catalogue/windows1252.h"
#include "offset/offset_text.h"

namespace quarvel {

std::string FormatEntry(std::int32_t offset, Format format, std::string_view description) {
  std::string digits = FormatOffsetText(offset, Radix::Hex);
  std::string entry(kEntryOffsetLength - digits.size(), '0');
  entry += digits;
  entry.append(" - <").append(1, InfoOf(format).letter).append("> - ");
  entry += description;
  std::replace(entry.begin(), entry.end(), '"', '\'');
  return entry;
}

std::optional<std::string> DescriptionProblem(std::string_view description) {
  if (description.find_first_of("\r\n") != std::string_view::npos)
    return std::string("the description holds a line break; an entry is one line");
  if (const auto character = FirstCharacterNotInWindows1252(description))
    return "the description holds '" + *character + "', which a catalogue file (Windows-1252 text) cannot store";
  const auto characters = static_cast<std::size_t>(
      std::count_if(description.begin(), description.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  if (characters > kMaxDescriptionLength) {
    return "the description has " + std::to_string(characters) + " characters; an entry holds at most " +
           std::to_string(kMaxDescriptionLength);
  }
  return std::nullopt;
}

std::string ScanEntryDescription(const ScanCandidate& candidate) {
  const FormatInfo& format = InfoOf(candidate.format);
  std::string text(format.title);
  if (format.tiles) return text + ", " + std::to_string(candidate.decodedSize / kTileBytes) + " ladrilhos";
  return text + ", " + std::to_string(candidate.decodedSize) + " bytes";
}

bool Lists(const std::vector<std::string>& entries, std::int32_t offset, Format format) {
  return std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
    const auto listed = ParseOffsetText(EntryOffsetText(entry), Radix::Hex);
    return listed && *listed == offset && EntryFormat(entry) == format;
  });
}

std::string_view EntryOffsetText(std::string_view entry) { return FirstCharacters(entry, kEntryOffsetLength); }

std::string_view EntryDescription(std::string_view entry) {
  return entry.substr(FirstCharacters(entry, kEntryDescriptionPosition - 1).size());
}

std::optional<Format> EntryFormat(std::string_view entry) {
  const std::string_view head = FirstCharacters(entry, kEntryTypePosition);
  const std::string_view before = FirstCharacters(entry, kEntryTypePosition - 1);
  const std::string_view letter = head.substr(before.size());
  const FormatInfo* format = letter.size() == 1 ? FormatOfLetter(letter[0]) : nullptr;
  if (format == nullptr) return std::nullopt;
  return format->format;
}

}  // namespace quarvel
