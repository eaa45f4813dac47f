// Edited art back into tiles: a PNG image, 8x8 tiles in rows as the previews draw them,
// to 4-bit tile data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"
#include "preview/png_decode.h"
#include "preview/tile_image.h"

namespace quarvel {

// How a colour image's pixels are matched to the palette's colours.
enum class ColourMatch {
  Exact,    // the same colour only
  Nearest,  // the nearest colour, when each channel is within kNearestColourReach of it
};

// Tools draw the Mega Drive's eight levels a channel on different scales (0, 36, 72, ...,
// 252; 0, 36, 73, ..., 255; 0, 34, ..., 238): 17 takes a colour from any of them to the
// palette's, and stays under half a level's step, so that no two levels are confused.
inline constexpr int kNearestColourReach = 17;

// How a picture is read: what the caller knows of it. What is given wins over the
// layout the picture keeps, which wins over what the picture itself shows.
struct PictureReading {
  ColourMatch match = ColourMatch::Exact;
  std::optional<unsigned> zoom = std::nullopt;               // 1 to 8: a tile pixel is a zoom x zoom cell
  std::optional<std::size_t> tileCount = std::nullopt;       // the tiles to take, the first of the picture's
  std::optional<unsigned> line = std::nullopt;               // every tile's colours matched within this line
  unsigned firstLine = 0;                                    // else the line tried first (past the palette's: 0)
  std::optional<std::size_t> expectedTiles = std::nullopt;  // the count there should be (an insert's: the old block's)
};

// What decided the zoom or the tile count of a picture read.
enum class ReadingChoice {
  Given,     // PictureReading's zoom or tileCount
  Layout,    // the layout the picture keeps
  Expected,  // PictureReading's expectedTiles: the zoom that gives that count, or that count
  Picture,   // the picture alone: its largest zoom whose cells are each one colour, or every tile
};

// What a picture read says that its tiles do not bear out: a sentence in English, and
// what it names, for other words.
struct PictureWarning {
  enum class Kind {
    SharedColour,   // `colour` is each of `indices` of palette line `line`: the first was taken
    FoldedIndices,  // colour indices 16 to 63 taken as 0 to 15 of their line
    TilesLeftOut,   // the tiles past the first `count` (of `held`) are not all blank, and were left out
    LayoutIgnored,  // the layout the picture keeps is of a picture of another size
  } kind;
  std::string message;
  Rgb colour{};
  unsigned line = 0;
  std::vector<unsigned> indices{};
  std::size_t count = 0, held = 0;
};

struct ImportedTiles {
  std::vector<std::uint8_t> tiles;  // 32 bytes a tile, tile rows left to right, top to bottom
  std::vector<PictureWarning> warnings;
  unsigned zoom = 1;
  std::size_t tileCount = 0;
  ReadingChoice zoomFrom = ReadingChoice::Picture, countFrom = ReadingChoice::Picture;
  std::optional<PictureLayout> layout = std::nullopt;  // the layout the picture keeps, when it was taken
  std::size_t blankTilesAtEnd = 0;  // with every tile taken (Picture): the blank tiles (colour 0 only) that
                                    // end the last row, which may only fill it out
};

// Why an image gives no tiles: what was wrong, where, and a sentence in English.
struct PngProblem {
  enum class Kind {
    NotPng,             // not a PNG image
    TooMuchData,        // image data that inflates past what its pixels need
    Unreadable,         // a file that breaks the PNG format (see DecodePng), or no memory to read it
    NotWholeTiles,      // a width or height that is no multiple of 8 x `zoom`
    TooManyPixels,      // more than 2^24 pixels
    PartlyTransparent,  // at `x`, `y`
    Wide16Bits,         // at `x`, `y`: a 16-bit colour that no 8-bit one makes
    NoPalette,          // colours, and no palette to match them to
    NotInPalette,       // at `x`, `y`: `colour`, which the palette lacks (or palette line `line`, when one was asked)
    IndexTooHigh,       // at `x`, `y`: colour index `index`, above 63
    MixedCell,          // at `x`, `y`: a cell of `zoom` x `zoom` pixels of more than one colour
    TileCountTooLarge,  // `tileCount` tiles asked, of a picture that holds `tilesHeld`
    NoSuchLine,         // palette line `line` asked, of a palette of `lines` lines
    NoLineHoldsTile,    // tile `tile` (its top-left pixel at `x`, `y`) has `colour`, which no line holds with its others
  } kind;
  std::string message;
  std::uint32_t width = 0, height = 0;  // of the image, once known
  std::uint32_t x = 0, y = 0;
  Rgb colour{};
  unsigned index = 0;
  unsigned zoom = 1;
  std::size_t tile = 0, tileCount = 0, tilesHeld = 0;
  std::optional<unsigned> line = std::nullopt;  // the palette line every tile was matched in, when there was one
  std::size_t lines = 0;         // of the palette
};

// The tiles of a PNG picture of 8x8 tiles in rows. A tile pixel is a zoom x zoom cell:
// the zoom given, else the layout's (when the picture keeps one that fits its size), else
// with an expected count the largest zoom that gives it, else the largest of 1 to 8 at
// which the width and height are multiples of 8 x zoom and every cell is one colour. The
// tiles taken are the first `tileCount` given, else the layout's count, else the expected
// count when the tiles past it are blank and in the last row, else every tile.
//
// An indexed picture's indices are the pixel values (16 to 63 folded into their palette
// line, with a warning). Any other picture is matched against `palette` as `match` says,
// each tile within one line: the line given, else the layout's, else the first of
// `firstLine`, 0, 1, 2, 3 that holds all its colours (exactly, before any that holds them
// only as the nearest). A colour that two indices of the line share is taken as the
// first, with a warning. A fully transparent pixel is colour 0; a partly transparent one
// is an error. 16-bit channels are taken as the 8-bit values they were made from
// (v * 257), and any other 16-bit value is an error; gamma is ignored.
//
// Fails for what is not a PNG image, for more than 2^24 pixels, for image data that
// inflates past what the rows need (found before more is inflated), for a size that is
// no multiple of 8 x zoom, for a cell of more than one colour at a zoom given or from the
// layout, for a count past the picture's tiles, for no palette with a colour picture, a
// line past the palette's, a colour no line holds (naming the pixel) or a tile whose
// colours no one line holds (naming the tile and a colour), and for an index above 63.
Expected<ImportedTiles, PngProblem> TilesFromPng(std::span<const std::uint8_t> png, const std::vector<Palette>& palette,
                                                 const PictureReading& how = {});

}  // namespace quarvel
