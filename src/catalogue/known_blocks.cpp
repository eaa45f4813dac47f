#include "catalogue/known_blocks.h"

#include <charconv>

#include "catalogue/entry.h"

namespace quarvel {

Expected<KnownBlocks, std::string> ParseKnownBlocks(std::string_view text) {
  KnownBlocks known;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t tab = line.find('\t');
    if (line.starts_with("# ") && tab != std::string_view::npos) {
      known.facts.emplace(std::string(line.substr(2, tab - 2)), std::string(line.substr(tab + 1)));
      continue;
    }
    const std::size_t second = tab == std::string_view::npos ? tab : line.find('\t', tab + 1);
    std::uint32_t offset = 0;
    const auto digits = line.substr(0, tab);
    const auto [last, error] = std::from_chars(digits.data(), digits.data() + digits.size(), offset, 16);
    const FormatInfo* format = second == tab + 2 ? FormatOfLetter(line[tab + 1]) : nullptr;
    if (digits.size() != kEntryOffsetLength || error != std::errc{} || last != digits.data() + digits.size() ||
        !format || DescriptionProblem(line.substr(second + 1)))
      return Fail("line " + std::to_string(number) + " is neither a fact nor a block: " + std::string(line));
    known.entries.push_back(FormatEntry(static_cast<std::int32_t>(offset), format->format, line.substr(second + 1)));
  }
  return known;
}

}  // namespace quarvel
