// Any bytes as a PNG image to import: never a crash, and tiles only of whole 8x8 tiles.
#include <cstdlib>
#include <span>

#include "preview/png_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<quarvel::Palette> palette{quarvel::GreyPalette()};
  const auto tiles = quarvel::TilesFromPng(std::span<const std::uint8_t>(data, size), palette);
  if (tiles && (tiles->tiles.empty() || tiles->tiles.size() % 32 != 0)) std::abort();
  return 0;
}
