// Edited art back into tiles: a PNG image, 8x8 tiles in rows as the previews draw them,
// to 4-bit tile data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"
#include "preview/tile_image.h"

namespace quarvel {

struct ImportedTiles {
  std::vector<std::uint8_t> tiles;  // 32 bytes a tile, tile rows left to right, top to bottom
  std::vector<std::string> warnings;
};

// Whether this build reads PNG files (it needs libpng).
bool CanReadPng();

// The tiles of a PNG image whose width and height are multiples of 8. An indexed image's
// indices are the pixel values (16 to 63 folded into their palette line, with a
// warning); any other image is matched colour for colour against `palette` (its lines
// in order, the first index that matches), and a colour it lacks is an error that names
// the pixel. A fully transparent pixel is colour 0; a partly transparent one is an error.
// 16-bit channels are taken as the 8-bit values they were made from (v * 257), and any
// other 16-bit value is an error; gamma is ignored. Fails for what is not a PNG image, for
// more than 2^24 pixels, for image data that inflates past what the rows need (found
// before more is inflated), for no palette with a colour image, and for an index above 63.
Expected<ImportedTiles, std::string> TilesFromPng(std::span<const std::uint8_t> png, const std::vector<Palette>& palette);

}  // namespace quarvel
