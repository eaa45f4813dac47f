// The compression formats: one table that names each format once, with everything the
// tool does with it. The command line, the scan, the preview, the catalogue entries
// and the window ask it; a new format is a new row.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/expected.h"
#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"

namespace quarvel {

enum class Format { Kosinski, Nemesis, Enigma, KosinskiModuled };

// An 8x8 tile of 4-bit pixels: 32 bytes.
inline constexpr std::size_t kTileBytes = 32;

// A block that a scan takes for one of a format, and how sure it is of it (0 to 1).
struct ScanHit {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
  double confidence = 0;
  // How well the block accounts for its bytes: of candidates whose streams run into one
  // another and end alike, the one that fits best is the block.
  std::int64_t fit = 0;
};

using ScanWeigher = std::function<std::optional<ScanHit>(std::size_t offset)>;

struct FormatInfo {
  Format format;
  std::string_view name;   // "kosinski": on the command line and in extracted file names
  std::string_view title;  // "Kosinski": in listings and descriptions
  char letter;             // 'K': the type letter of a catalogue entry
  bool tiles;              // decodes to whole tiles, counted as tiles in listings
  std::uint64_t largestData;  // the most decoded bytes a block holds, what the compressor takes
  std::string_view largestText;  // the same in words: "65,536 bytes"
  DecodeResult<DecodedBlock> (*decode)(ByteSource& source);
  Expected<std::vector<std::uint8_t>, std::string> (*compress)(std::span<const std::uint8_t> data);
  // What weighs each offset of `rom` as the start of a block: made once a scan, asked from
  // every thread, fastest from the end of the image down.
  ScanWeigher (*scanner)(std::span<const std::uint8_t> rom);
};

// Every format, in the order the tool lists them.
std::span<const FormatInfo> Formats();
const FormatInfo& InfoOf(Format format);
// By command-line name, ignoring case; by catalogue letter, exactly.
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

// Decodes the block at `offset` of `rom` in `format`.
DecodeResult<DecodedBlock> DecodeBlock(Format format, std::span<const std::uint8_t> rom, std::int64_t offset);

}  // namespace quarvel
