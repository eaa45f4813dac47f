// Nemesis: 8x8 tile graphics of 4-bit pixels. A block is a big-endian header word
// (bit 15: XOR mode; bits 0-14: tile count), a code table (see nemesis_code_table.h)
// and a bit stream, most significant bit first, of prefix codes and 13-bit inline codes
// (six 1 bits, a 3-bit run field, a 4-bit pixel). The output holds each pixel row as a
// big-endian 32-bit word, the first pixel in the top nibble: 32 bytes a tile. In XOR
// mode each row is stored combined by exclusive-or with the row stored before it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "decoders/extraction.h"

namespace quarvel {

inline constexpr unsigned kNemesisMaxTiles = 8192;  // 65,536 rows, 262,144 bytes
inline constexpr std::size_t kNemesisTileBytes = 32;

// Decodes the block that starts at `offset` of `rom` into 32 bytes a tile; a block of
// 0 tiles decodes to nothing, and that is no failure. Fails when the block claims more
// than 8,192 tiles, when its code table is malformed, or when a code needs bits past
// the end of `rom` (the look-ahead past the last code reads missing bytes as zeros).
// Never reads outside `rom` and never writes outside its own output.
DecodeResult<DecodedBlock> DecodeNemesis(std::span<const std::uint8_t> rom, std::int64_t offset);

// The same, from the file `rom`, reading only as far as the block goes.
DecodeResult<DecodedBlock> ReadNemesisBlock(const std::filesystem::path& rom, std::int64_t offset);

// Extracts the block at `offset` of `source` into `destination` (see ExtractBlock).
DecodeResult<Extraction> NemesisDecompress(const std::filesystem::path& source,
                                           const std::filesystem::path& destination, std::int32_t offset);

}  // namespace quarvel
