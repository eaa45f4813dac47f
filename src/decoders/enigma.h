// Enigma: lists of 16-bit words (plane maps, block mappings) as run-length entries over
// three running values. A 6-byte header: N, the bits of an inline value's low part; M,
// the render-flag mask (bit 4 priority, 3-2 palette line, 1 vertical flip, 0 horizontal
// flip); the incrementing word I and the literal word L, big-endian. Then a bit stream,
// most significant bit first, of entries:
//   0 0 CCCC   I, C+1 times, I going up by 1 after each
//   0 1 CCCC   L, C+1 times
//   1 00 CCCC v   v, C+1 times
//   1 01 CCCC v   v, C+1 times, going up by 1 after each
//   1 10 CCCC v   v, C+1 times, going down by 1 after each
//   1 11 CCCC v...   C+1 inline values (C < 15); 1 11 1111 ends the list
// An inline value is one bit for each set bit of M, from bit 4 down (to bits 15-11 of
// the word), then N bits, the word's low bits. Words are written big-endian and wrap
// at 16 bits; the games add a base word to each, a decode adds none.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"

namespace quarvel {

// Our limit: a block decodes to at most 65,536 bytes, all the video memory it could fill.
inline constexpr std::size_t kEnigmaCapacity = 65536;
inline constexpr std::size_t kEnigmaHeaderBytes = 6;

// Decodes the block that starts at `offset` of `rom` (or at the next byte of `source`),
// reading only as far as its end entry. The block's size counts the bytes up to the
// one that holds the end entry's last bit. Fails when the data ends first or the words
// pass the capacity. N above 16 reads N bits and keeps the low 16; a low part wider
// than 11 bits is ORed with the flag bits.
DecodeResult<DecodedBlock> DecodeEnigma(std::span<const std::uint8_t> rom, std::int64_t offset);
DecodeResult<DecodedBlock> DecodeEnigma(ByteSource& source);

// Adds `base` to every big-endian word of `words` (an odd last byte is left alone).
void AddBaseWord(std::span<std::uint8_t> words, std::uint16_t base);

// What the scan weighs in a block that ends at its end entry.
struct EnigmaProbe {
  BlockProbe sizes;
  unsigned entries = 0;
  unsigned oddities = 0;         // entries no encoder writes (see the scan)
  bool paddedWithZeros = false;  // the bits after the end entry, to the byte's end, are 0
  bool evenWithZero = false;     // it takes an even number of bytes, or a zero byte follows
  bool tightHeader = false;      // N is the width of the largest tile index, M the flags set
  // How many inline values carry each combination of flag bits (word >> 11).
  std::array<std::uint32_t, 32> inlineFlags{};
};

// Whether a block with a header as encoders write it (N 1 to 11, M below 0x20) starts
// at `offset` and ends at its end entry within `rom`, with no entry that an encoder
// would not write (one that could merge into the entry before it of the same kind, an
// inline repeat of the literal word, a list of two equal or consecutive values), and
// what it looks like.
std::optional<EnigmaProbe> ProbeEnigma(std::span<const std::uint8_t> rom, std::size_t offset);

// False where no block that ProbeEnigma takes starts at `offset`, as its header's first
// two bytes tell (N 1 to 11, M below 0x20); ProbeEnigma tests them first.
inline bool EnigmaMayStartAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  return offset < rom.size() && rom.size() - offset >= kEnigmaHeaderBytes && rom[offset] - 1u < 11 &&
         rom[offset + 1] < 0x20;
}

}  // namespace quarvel
