// Nemesis compression as the games' own compressor made their files, byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// The block the games' compressor writes for `tiles` (32 bytes a tile, at most 8,192):
// maximal runs cut into eights; a code for each (pixel, run) that occurs 3 times or more,
// by recursive halving of their counts, shorter codes moved to the more frequent, those
// over 8 bits then dropped (inline); the table by pixel and run; a stream that ends with
// a zero byte when it fills its last one; XOR mode when strictly smaller. With
// `evenLength` (Sonic 3 & Knuckles' files), a zero byte makes the length even.
Expected<std::vector<std::uint8_t>, std::string> CompressNemesisAccurate(std::span<const std::uint8_t> tiles,
                                                                         bool evenLength);

// The header and code table the games' compressor writes for `tiles` in a mode (the
// first bytes of its block in that mode): a quick check before the whole block.
std::vector<std::uint8_t> AccurateNemesisHead(std::span<const std::uint8_t> tiles, bool xorMode);

// The code the games' compressor gives each (pixel, run) symbol (pixel * 8 + run - 1),
// from how often each occurs: "0"s and "1"s, empty for a symbol written inline.
std::array<std::string, 128> AccurateNemesisCodes(const std::array<std::uint64_t, 128>& counts);

}  // namespace quarvel
