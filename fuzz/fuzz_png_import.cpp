// Any bytes as a PNG image to import, read as it comes and as an insert reads it (an
// expected count, the line shown first, nearest colours): never a crash, and tiles only
// of whole 8x8 tiles, as many as the reading says.
#include <cstdlib>
#include <span>

#include "preview/png_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<quarvel::Palette> palette{quarvel::GreyPalette(), quarvel::GreyPalette()};
  const std::span<const std::uint8_t> png(data, size);
  const quarvel::PictureReading insert{.match = quarvel::ColourMatch::Nearest,
                                       .firstLine = 1,
                                       .expectedTiles = size % 7 + 1};
  for (const auto& how : {quarvel::PictureReading{}, insert}) {
    const auto tiles = quarvel::TilesFromPng(png, palette, how);
    if (tiles && (tiles->tiles.empty() || tiles->tiles.size() != tiles->tileCount * 32 || tiles->zoom < 1 || tiles->zoom > 8))
      std::abort();
  }
  return 0;
}
