// Kosinski compression as the games' own compressor made their files: the same bytes,
// for a build of a game that must come out identical to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// The stream the games' compressor writes for `data` (1 to 65,536 bytes): a greedy parse
// (the longest match of 2 to 253 bytes whose first two bytes agree, from at most 7,939
// bytes back, the nearest of equal ones; lengths counted over a look-ahead that runs past
// the end into what its 8 KiB ring still held, then cut), each match in the first form
// that takes it, one empty copy before the first command at 0xA000 or later, the end
// marker, and zero bytes to a multiple of 16.
Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiAccurate(std::span<const std::uint8_t> data);

}  // namespace quarvel
