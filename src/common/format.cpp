#include "common/format.h"

#include <algorithm>
#include <cctype>

namespace quarvel {
namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::span<const FormatInfo> Formats() { return kFormatInfos; }

const FormatInfo& InfoOf(Format format) { return kFormatInfos[static_cast<std::size_t>(format)]; }

const FormatInfo* FormatNamed(std::string_view name) {
  for (const auto& info : kFormatInfos)
    if (EqualIgnoringCase(name, info.name)) return &info;
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
