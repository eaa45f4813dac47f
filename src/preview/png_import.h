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

// How a colour image's pixels are matched to the palette's colours.
enum class ColourMatch {
  Exact,    // the same colour only
  Nearest,  // the nearest colour, when each channel is within kNearestColourReach of it
};

// Tools draw the Mega Drive's eight levels a channel on different scales (0, 36, 72, ...,
// 252; 0, 36, 73, ..., 255; 0, 34, ..., 238): 17 takes a colour from any of them to the
// palette's, and stays under half a level's step, so that no two levels are confused.
inline constexpr int kNearestColourReach = 17;

// Why an image gives no tiles: what was wrong, where, and a sentence in English.
struct PngProblem {
  enum class Kind {
    NotPng,             // not a PNG image, or a build that reads none
    TooMuchData,        // image data that inflates past what its pixels need
    Unreadable,         // libpng could not read it, or there was no memory
    NotWholeTiles,      // a width or height that is no multiple of 8
    TooManyPixels,      // more than 2^24 pixels
    PartlyTransparent,  // at `x`, `y`
    Wide16Bits,         // at `x`, `y`: a 16-bit colour that no 8-bit one makes
    NoPalette,          // colours, and no palette to match them to
    NotInPalette,       // at `x`, `y`: `colour`, which the palette lacks
    IndexTooHigh,       // at `x`, `y`: colour index `index`, above 63
  } kind;
  std::string message;
  std::uint32_t width = 0, height = 0;  // of the image, once known
  std::uint32_t x = 0, y = 0;
  Rgb colour{};
  unsigned index = 0;
};

// Whether this build reads PNG files (it needs libpng).
bool CanReadPng();

// The tiles of a PNG image whose width and height are multiples of 8. An indexed image's
// indices are the pixel values (16 to 63 folded into their palette line, with a
// warning); any other image is matched against `palette` as `match` says (its lines in
// order: an exact colour first, else the first of the nearest), and a colour it lacks is
// an error that names the pixel. A fully transparent pixel is colour 0; a partly transparent one is an error.
// 16-bit channels are taken as the 8-bit values they were made from (v * 257), and any
// other 16-bit value is an error; gamma is ignored. Fails for what is not a PNG image, for
// more than 2^24 pixels, for image data that inflates past what the rows need (found
// before more is inflated), for no palette with a colour image, and for an index above 63.
Expected<ImportedTiles, PngProblem> TilesFromPng(std::span<const std::uint8_t> png, const std::vector<Palette>& palette,
                                                 ColourMatch match = ColourMatch::Exact);

// Whether `bytes` begin as a PNG image does.
bool LooksLikePng(std::span<const std::uint8_t> bytes);

}  // namespace quarvel
