// What each compression format is: its name in every place the tool shows it, its
// catalogue letter and its limits. The lowest layer: the code that decodes, compresses
// or finds a format is bound to it in formats/format_table.h, above all of that code.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace quarvel {

enum class Format { Kosinski, Nemesis, Enigma, KosinskiModuled, Saxman };

// An 8x8 tile of 4-bit pixels: 32 bytes.
inline constexpr std::size_t kTileBytes = 32;

struct FormatInfo {
  Format format;
  std::string_view name;   // "kosinski": on the command line and in extracted file names
  std::string_view shortName;  // "kos": on the command line, as the disassemblies name their files
  std::string_view title;  // "Kosinski": in listings and descriptions
  char letter;             // 'K': the type letter of a catalogue entry
  bool tiles;              // decodes to whole tiles, counted as tiles in listings
  std::uint64_t largestData;     // the most decoded bytes a block holds, what the compressors take
  std::string_view largestText;  // the same in words: "65,536 bytes"
};

// Every format, in the order the tool lists them.
inline constexpr std::array<FormatInfo, 5> kFormatInfos = {{
    {Format::Kosinski, "kosinski", "kos", "Kosinski", 'K', false, 65536, "65,536 bytes"},
    {Format::Nemesis, "nemesis", "nem", "Nemesis", 'N', true, 8192 * kTileBytes, "8,192 tiles (262,144 bytes)"},
    {Format::Enigma, "enigma", "eni", "Enigma", 'E', false, 65536, "65,536 bytes (32,768 words)"},
    {Format::KosinskiModuled, "kosinski-moduled", "kosm", "Kosinski Moduled", 'M', false, 65535, "65,535 bytes"},
    {Format::Saxman, "saxman", "sax", "Saxman", 'S', false, 65536, "65,536 bytes"},
}};

std::span<const FormatInfo> Formats();
const FormatInfo& InfoOf(Format format);
// By command-line name, long or short, ignoring case; by catalogue letter, exactly.
const FormatInfo* FormatNamed(std::string_view name);
const FormatInfo* FormatOfLetter(char letter);

// "kosinski" or "nemesis".
std::string_view FormatName(Format format);

// A set of formats, for choosing some of them (the scan).
class FormatSet {
 public:
  FormatSet() = default;  // none
  FormatSet(std::initializer_list<Format> formats) {
    for (const Format f : formats) Add(f);
  }
  static FormatSet All();
  void Add(Format format) { bits_ |= 1u << static_cast<unsigned>(format); }
  bool Has(Format format) const { return (bits_ >> static_cast<unsigned>(format) & 1u) != 0; }

 private:
  unsigned bits_ = 0;
};

}  // namespace quarvel
