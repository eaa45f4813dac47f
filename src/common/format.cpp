#include "common/format.h"

#include "common/ascii.h"

namespace quarvel {

std::span<const FormatInfo> Formats() { return kFormatInfos; }

const FormatInfo& InfoOf(Format format) { return kFormatInfos[static_cast<std::size_t>(format)]; }

const FormatInfo* FormatNamed(std::string_view name) {
  for (const auto& info : kFormatInfos)
    if (EqualIgnoringAsciiCase(name, info.name) || EqualIgnoringAsciiCase(name, info.shortName)) return &info;
  return nullptr;
}

const FormatInfo* FormatOfLetter(char letter) {
  for (const auto& info : kFormatInfos)
    if (letter == info.letter) return &info;
  return nullptr;
}

std::string_view FormatName(Format format) { return InfoOf(format).name; }

FormatSet FormatSet::All() {
  FormatSet all;
  for (const auto& info : kFormatInfos) all.Add(info.format);
  return all;
}

}  // namespace quarvel
