// The code table at the head of a Nemesis block: records of an optional palette byte
// (0x80-0xFE, low nibble the pixel value), a length byte (low nibble the code length L,
// high nibble the run field: pixels after the first) and a code byte, up to 0xFF.
// Each record fills the 2^|8-L| entries from code << |8-L|, so that entry e describes
// the code that begins with the eight stream bits e.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "decoders/byte_source.h"
#include "decoders/decode_error.h"

namespace quarvel {

struct NemesisCode {
  std::uint8_t length = 0;    // bits the code takes: 1 to 8 in well-formed data, 0 to 15 stored
  std::uint8_t runField = 0;  // the code stands for runField + 1 pixels
  std::uint8_t pixel = 0;     // 0 to 15

  bool operator==(const NemesisCode&) const = default;
};

// Entries 0xFC-0xFF are never used: eight bits from 0xFC on start an inline code.
using NemesisCodeTable = std::array<NemesisCode, 256>;

// Reads a code-table description from `in`, leaving it at the first byte after the
// terminating 0xFF. Every build starts from an all-zero table. Fails when the data
// ends first, or when a record would fill entries past byte index 32767 of the
// table's two-byte-per-entry layout (a code byte too large for its length);
// records that reach past entry 255 but not that far fill nothing that is read.
template <class Source>
DecodeResult<NemesisCodeTable> NemesisBuildTable(Source& in) {
  constexpr std::uint32_t kIndexLimit = 32767;
  NemesisCodeTable table{};
  std::uint8_t pixel = 0;
  auto truncated = [&] { return EndOfData(in, "ends inside its code table"); };
  for (;;) {
    std::uint8_t byte;
    if (!in.Next(byte)) return Fail(truncated());
    if (byte == 0xFF) return table;
    if (byte >= 0x80) {  // a palette byte; the next byte is the length byte, whatever it holds
      pixel = byte & 0x0F;
      if (!in.Next(byte)) return Fail(truncated());
    }
    const unsigned length = byte & 0x0Fu;
    const auto runField = static_cast<std::uint8_t>(byte >> 4);
    const unsigned shift = length <= 8 ? 8 - length : length - 8;
    std::uint8_t code;
    if (!in.Next(code)) return Fail(truncated());

    const std::uint32_t first = std::uint32_t{code} << shift;
    const std::uint32_t end = first + (1u << shift);
    if (2 * end > kIndexLimit) {
      return Fail(DecodeError{DecodeErrorKind::MalformedCodeTable, in.Position() - 1,
                              "the code table of the block at " + HexOffset(in.BlockStart()) + " has a code byte " +
                                  HexOffset(code) + " too large for its length " + std::to_string(length) +
                                  " at byte " + HexOffset(in.Position() - 1)});
    }
    for (std::uint32_t entry = first; entry < end && entry < table.size(); ++entry)
      table[entry] = {static_cast<std::uint8_t>(length), runField, pixel};
  }
}

struct WellFormedTable {
  NemesisCodeTable table;
  unsigned codes = 0;
  unsigned coveredEntries = 0;
  std::vector<std::pair<unsigned, unsigned>> ranges;  // of each code: its first entry and one past its last
};

// Reads a description as a careful encoder writes it, or nothing: every code 1 to 8
// bits long with a run field of 0 to 7 and a value that fits its length, no code a
// prefix of another, none beginning with six 1 bits, at least one code, and a palette
// byte first (pixel 0 needs none, but encoders name it).
template <class Source>
std::optional<WellFormedTable> ReadWellFormedNemesisTable(Source& in) {
  WellFormedTable shape{};
  std::uint8_t pixel = 0;
  for (;;) {
    std::uint8_t byte;
    if (!in.Next(byte)) return std::nullopt;
    if (byte == 0xFF) break;
    if (byte >= 0x80) {
      pixel = byte & 0x0F;
      if (!in.Next(byte)) return std::nullopt;
    } else if (shape.codes == 0) {
      return std::nullopt;
    }
    const unsigned length = byte & 0x0Fu;
    const unsigned run = byte >> 4;
    std::uint8_t code;
    if (length < 1 || length > 8 || run > 7 || !in.Next(code) || code >> length != 0) return std::nullopt;
    const unsigned first = unsigned{code} << (8 - length);
    const unsigned end = first + (1u << (8 - length));
    if (end > 252) return std::nullopt;
    for (unsigned entry = first; entry < end; ++entry) {
      if (shape.table[entry].length != 0) return std::nullopt;
      shape.table[entry] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(run), pixel};
    }
    ++shape.codes;
    shape.coveredEntries += end - first;
    shape.ranges.emplace_back(first, end);
  }
  if (shape.codes == 0) return std::nullopt;
  return shape;
}

// The same over a description held in memory, starting at its first byte.
DecodeResult<NemesisCodeTable> NemesisBuildTable(std::span<const std::uint8_t> description);

}  // namespace quarvel
