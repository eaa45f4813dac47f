// Nemesis compression: tile data into a block of prefix codes for (pixel, run) pairs,
// built from their frequencies, with the 13-bit inline code for rare pairs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// A block that decodes to exactly `tiles`: 32 bytes a tile, at most 8,192 tiles (no
// tiles give an empty block). Codes are at most 8 bits long and none begins with six
// 1 bits, the inline prefix. Plain and XOR mode are both tried; the smaller is kept. The
// games' own choice of coded pairs is among those weighed, so that no block is larger
// than the games'.
Expected<std::vector<std::uint8_t>, std::string> CompressNemesis(std::span<const std::uint8_t> tiles);

}  // namespace quarvel
