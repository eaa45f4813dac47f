// Enigma compression as the games' own compressor made their files, byte for byte.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// The header the games' compressor chose for `words`: N the width of the largest tile
// index (0 when every one is 0), M the flag bits set in some word, the literal word the
// most frequent (the smallest of equals), the incrementing word the smallest with a
// tile index, or the first word when it stands just below that (or every index is 0).
struct EnigmaHeader {
  unsigned lowBits = 0;
  unsigned mask = 0;
  std::uint16_t incrementing = 0;
  std::uint16_t literal = 0;
};
EnigmaHeader AccurateEnigmaHeader(std::span<const std::uint16_t> words);

// The block the games' compressor writes for `data`, big-endian words (2 to 65,536
// bytes, an even number): that header, then a greedy parse (the incrementing word's run,
// the literal word's run, a run of equal, rising or falling words that stops before the
// incrementing word, else a list that stops where one of those could start), the end
// entry, and a zero byte to an even length when needed.
Expected<std::vector<std::uint8_t>, std::string> CompressEnigmaAccurate(std::span<const std::uint8_t> data);

// That block for `words` (at least one) under `header` (AccurateEnigmaHeader's), before
// the zero byte to an even length.
std::vector<std::uint8_t> AccurateEnigmaStream(std::span<const std::uint16_t> words, const EnigmaHeader& header);

}  // namespace quarvel
