// What both Nemesis compressors cut into runs: the pixels of tile rows as stretches of
// one value.
#pragma once

#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace quarvel {

struct NemesisStretch {
  std::uint8_t pixel;
  std::uint32_t length;
};

// The pixels row after row (4 bytes a row, high nibble first), each row XORed with the
// input's row before it in XOR mode (the row before the first is 0), as maximal
// stretches of one value, across rows and tiles.
inline std::vector<NemesisStretch> NemesisStretches(std::span<const std::uint8_t> tiles, bool xorMode) {
  std::vector<NemesisStretch> stretches;
  stretches.reserve(tiles.size() / 2);
  std::uint32_t previous = 0, start = 0;  // the row before, the pixel the last stretch starts at
  for (std::size_t at = 0; at + 4 <= tiles.size(); at += 4) {
    const std::uint32_t row = std::uint32_t{tiles[at]} << 24 | std::uint32_t{tiles[at + 1]} << 16 |
                              std::uint32_t{tiles[at + 2]} << 8 | tiles[at + 3];
    const std::uint32_t pixels = xorMode ? row ^ previous : row;
    // A bit at the low end of each pixel that differs from the one before it (the first
    // pixel of all from none), found a row at a time.
    const std::uint32_t before = (stretches.empty() ? (pixels >> 28) ^ 1 : stretches.back().pixel) << 28;
    const std::uint32_t differ = pixels ^ (pixels >> 4 | before);
    std::uint32_t starts = (differ | differ >> 1 | differ >> 2 | differ >> 3) & 0x11111111u;
    const auto first = static_cast<std::uint32_t>(at * 2);  // the row's first pixel
    while (starts != 0) {
      const int shift = 31 - std::countl_zero(starts);  // the pixel's low bit
      const std::uint32_t pixel = first + static_cast<std::uint32_t>(28 - shift) / 4;
      if (!stretches.empty()) stretches.back().length = pixel - start;
      stretches.push_back({static_cast<std::uint8_t>(pixels >> shift & 0xF), 0});
      start = pixel;
      starts &= ~(1u << shift);
    }
    previous = row;
  }
  if (!stretches.empty()) stretches.back().length = static_cast<std::uint32_t>(tiles.size() / 4 * 8) - start;
  return stretches;
}

}  // namespace quarvel
