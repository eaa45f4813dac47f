// Decoded data seen as the Mega Drive shows it: 8x8 tiles of 4-bit pixels, each byte
// two pixels, the left one in the high nibble, 32 bytes a tile.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

using Palette = std::array<Rgb, 16>;

// Pixel value i as the grey 17 * i: black to white.
Palette GreyPalette();

// The largest palette file read.
inline constexpr std::uint64_t kPaletteFileLimit = 1u << 20;

// A Mega Drive palette: 16 big-endian words 0000 BBB0 GGG0 RRR0, the first 16 when there
// are more; each 3-bit level v is v * 255 / 7, rounded. Fails below 32 bytes.
Expected<Palette, std::string> ParseMegaDrivePalette(std::span<const std::uint8_t> bytes);

struct TileImage {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<std::uint8_t> pixels;  // pixel values 0 to 15, row by row
  Palette palette;
};

inline constexpr unsigned kMaxZoom = 8;

// The tiles of `data` in order, left to right, `columns` to a row (fewer when there are
// fewer tiles), each pixel drawn `zoom` x `zoom`; a last part tile is filled with 0.
// Fails for empty data, no columns, or a zoom outside 1 to 8.
Expected<TileImage, std::string> RenderTiles(std::span<const std::uint8_t> data, const Palette& palette,
                                             unsigned columns, unsigned zoom);

// The image as an 8-bit indexed PNG file.
std::vector<std::uint8_t> EncodePng(const TileImage& image);

}  // namespace quarvel
