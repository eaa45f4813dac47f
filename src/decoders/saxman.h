// Saxman: Sonic 2's sound driver and songs, an LZSS variant with a 4096-byte window.
// A descriptor byte comes before each group of up to 8 commands, its bits used least
// significant first: 1, a literal byte follows; 0, a copy of two bytes b0 b1: L =
// (b1 & 0x0F) + 3 bytes (3 to 18) from the position whose low 12 bits are
// ((b1 & 0xF0) << 4 | b0) + 18, among the 4096 positions that end at the output's
// length (a ring that starts 18 bytes below 4096). A position before the output's start
// writes L zero bytes. There is no end command: a count of stream bytes ends it. A song
// is that count as a little-endian word, then the stream; the driver's stream has no
// header, the game's loader keeping its count.
#pragma once

#include <cstdint>
#include <span>

#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"

namespace quarvel {

inline constexpr std::size_t kSaxmanWindow = 0x1000;
inline constexpr std::size_t kSaxmanLongestStream = 0xFFFF;  // the count is a 16-bit word
inline constexpr std::size_t kSaxmanHeaderBytes = 2;
inline constexpr std::size_t kSaxmanLongestCopy = 18;
// Our limit: a block decodes to at most 65,536 bytes, far more than the sound CPU's
// 8 KiB of memory that the games decode their songs into.
inline constexpr std::size_t kSaxmanCapacity = 65536;

// Decodes the song that starts at `offset` of `rom` (or at the next byte of `source`):
// its count, then that many stream bytes. A count of 0 is an empty song. Fails when the
// data ends before the count does, the count ends inside a copy, a copy reads the byte
// it is writing, or the output passes the capacity.
DecodeResult<DecodedBlock> DecodeSaxman(std::span<const std::uint8_t> rom, std::int64_t offset);
DecodeResult<DecodedBlock> DecodeSaxman(ByteSource& source);

// The same for a stream without its count (the driver's): `streamSize` bytes of it.
DecodeResult<DecodedBlock> DecodeSaxmanStream(std::span<const std::uint8_t> rom, std::int64_t offset,
                                              std::uint16_t streamSize);
DecodeResult<DecodedBlock> DecodeSaxmanStream(ByteSource& source, std::uint16_t streamSize);

}  // namespace quarvel
