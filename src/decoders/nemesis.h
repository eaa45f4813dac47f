// Nemesis: 8x8 tile graphics of 4-bit pixels. A block is a big-endian header word
// (bit 15: XOR mode; bits 0-14: tile count), a code table (see nemesis_code_table.h)
// and a bit stream, most significant bit first, of prefix codes and 13-bit inline codes
// (six 1 bits, a 3-bit run field, a 4-bit pixel). The output holds each pixel row as a
// big-endian 32-bit word, the first pixel in the top nibble: 32 bytes a tile. In XOR
// mode each row is stored combined by exclusive-or with the row stored before it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"

namespace quarvel {

inline constexpr unsigned kNemesisMaxTiles = 8192;  // 65,536 rows, 262,144 bytes
inline constexpr std::size_t kNemesisTileBytes = 32;

// Decodes the block that starts at `offset` of `rom` into 32 bytes a tile; a block of
// 0 tiles decodes to nothing, and that is no failure. Fails when the block claims more
// than 8,192 tiles, when its code table is malformed, or when a code needs bits past
// the end of `rom` (the look-ahead past the last code reads missing bytes as zeros).
// Never reads outside `rom` and never writes outside its own output.
DecodeResult<DecodedBlock> DecodeNemesis(std::span<const std::uint8_t> rom, std::int64_t offset);

// The same, for the block that starts at the next byte of `source`, reading only as far
// as the block goes.
DecodeResult<DecodedBlock> DecodeNemesis(ByteSource& source);

struct NemesisProbe {
  unsigned tiles = 0;
  std::uint64_t compressedSize = 0;
  unsigned codes = 0;           // codes in the table
  unsigned codesUsed = 0;       // of them, the ones that the stream uses
  unsigned coveredEntries = 0;  // of the 252 eight-bit patterns that codes can begin
  bool xorMode = false;
};

// Whether a well-formed block starts at `offset`: 1 to 8,192 tiles, a table whose codes
// are 1 to 8 bits long, runs of 1 to 8, prefix-free and clear of the inline prefix, and a
// stream that decodes every tile through codes that the table defines. Keeps no pixel.
std::optional<NemesisProbe> ProbeNemesis(std::span<const std::uint8_t> rom, std::size_t offset);

// False where no block that ProbeNemesis takes starts at `offset`, as its header tells:
// 1 to 8,192 tiles, and a first record of the code table as ReadWellFormedNemesisTable
// takes it (a palette byte, a length byte of a code 1 to 8 bits long and a run of 1 to 8,
// a code that fits its length). The bytes are tested together, without a branch on each
// (half of them would be mispredicted); ProbeNemesis tests them first.
inline bool NemesisMayStartAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  if (offset >= rom.size() || rom.size() - offset < 5) return false;
  const std::uint8_t* head = rom.data() + offset;
  const unsigned tiles = (head[0] & 0x7Fu) << 8 | head[1], length = head[3] & 0x0Fu;
  return (tiles - 1 < kNemesisMaxTiles) & (head[2] >= 0x80) & (head[2] != 0xFF) & (length - 1 < 8) &
         (head[3] >> 4 <= 7) & (head[4] >> length == 0);
}

}  // namespace quarvel
