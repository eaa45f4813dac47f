// Nemesis compression as the games' own compressor made their files, byte for byte.
#pragma once

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

}  // namespace quarvel
