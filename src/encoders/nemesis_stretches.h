// What both Nemesis compressors cut into runs: the pixels of tile rows as stretches of
// one value.
#pragma once

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
  std::uint32_t previous = 0;
  for (std::size_t at = 0; at + 4 <= tiles.size(); at += 4) {
    const std::uint32_t row = std::uint32_t{tiles[at]} << 24 | std::uint32_t{tiles[at + 1]} << 16 |
                              std::uint32_t{tiles[at + 2]} << 8 | tiles[at + 3];
    const std::uint32_t pixels = xorMode ? row ^ previous : row;
    previous = row;
    for (int shift = 28; shift >= 0; shift -= 4) {
      const auto pixel = static_cast<std::uint8_t>(pixels >> shift & 0xF);
      if (!stretches.empty() && stretches.back().pixel == pixel)
        ++stretches.back().length;
      else
        stretches.push_back({pixel, 1});
    }
  }
  return stretches;
}

}  // namespace quarvel
