// Decoded data seen as the Mega Drive shows it: 8x8 tiles of 4-bit pixels, each byte
// two pixels, the left one in the high nibble, 32 bytes a tile.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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

// The largest palette file: four lines of 16 colours.
inline constexpr std::uint64_t kPaletteFileLimit = 128;

// A Mega Drive palette line: 16 big-endian words 0000 BBB0 GGG0 RRR0; each 3-bit level
// v is v * 255 / 7, rounded. The first line of a palette file (see below).
Expected<Palette, std::string> ParseMegaDrivePalette(std::span<const std::uint8_t> bytes);

// The palette lines a file holds: 32, 64, 96 or 128 bytes, one to the four lines that
// the Mega Drive has (a level's palette is often three). Anything else is no palette.
Expected<std::vector<Palette>, std::string> ParseMegaDrivePaletteLines(std::span<const std::uint8_t> bytes);

struct TileImage {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<std::uint8_t> pixels;  // indexes into `palette`, row by row
  std::vector<Rgb> palette;          // 16 colours, or 16 a palette line
};

inline constexpr unsigned kMaxZoom = 8;

// The tiles of `data` in order, left to right, `columns` to a row (fewer when there are
// fewer tiles), each pixel drawn `zoom` x `zoom`; a last part tile is filled with 0.
// Fails for empty data, no columns, or a zoom outside 1 to 8.
Expected<TileImage, std::string> RenderTiles(std::span<const std::uint8_t> data, const Palette& palette,
                                             unsigned columns, unsigned zoom);

// A plane map drawn with its tiles: each big-endian word of `map`, `width` to a row,
// draws tile (word & 0x7FF) - `firstTile` of `tiles` (blank below `firstTile` and past
// their end), flipped across when bit 11 is set and down when bit 12 is, in palette line
// (word >> 13 & 3): of `lines`, or the first line when there are fewer. `firstTile` is
// where the tiles sit in video memory. Fails for an empty map, no width, or a zoom
// outside 1 to 8.
Expected<TileImage, std::string> RenderPlaneMap(std::span<const std::uint8_t> map, std::span<const std::uint8_t> tiles,
                                                const std::vector<Palette>& lines, unsigned width, unsigned zoom,
                                                unsigned firstTile = 0);

// Where a map's `tileCount` tiles likely sit in video memory: when the map's smallest tile
// index is `tileCount` or more (its words cannot mean these tiles from 0), that index
// rounded down to a multiple of 0x20; else 0. The Sonic 1 title screen's map starts at
// 0x201 over 254 tiles: 0x200.
unsigned ProposedFirstTile(std::span<const std::uint8_t> map, std::size_t tileCount);

// The words of a plane map as text: `width` to a line, each as four hex digits.
std::string PlaneMapText(std::span<const std::uint8_t> map, unsigned width);

// Bytes that are no picture (a song) as text: 16 to a line, after the line's offset in
// the data ("0010: 8A 00 ...").
std::string BytesText(std::span<const std::uint8_t> bytes);

// How a picture of tiles was drawn, kept in the picture so that it reads back as the
// same tiles: a PNG text chunk (tEXt) of keyword kLayoutKeyword whose text is lines of
// "key=value" (see PictureLayoutText). The first line is "version=1"; the version
// changes only when a key changes its meaning, and a reader takes no layout of a version
// it does not know. Keys it does not know are passed over.
struct PictureLayout {
  std::string format;      // the block's format ("nemesis"); may be empty
  std::size_t tiles = 0;   // the tiles drawn, 1 or more; blank tiles past them fill the last row
  unsigned columns = 0;    // tiles a row, 1 or more (fewer drawn when there are fewer tiles)
  unsigned zoom = 1;       // 1 to 8
  unsigned line = 0;       // the palette line drawn with, 0 to 3
  std::string source;      // where the tiles came from ("s1.bin@0x1F27A"), for people to read
  bool operator==(const PictureLayout&) const = default;
};

inline constexpr std::string_view kLayoutKeyword = "Quarvel layout";

// The layout as its chunk's text: "version=1\nformat=nemesis\ntiles=525\ncolumns=16\n
// zoom=2\nline=0\nsource=s1.bin@0x1F27A". Numbers are decimal; the format and the source
// are printable ASCII (another byte of them is written '?').
std::string PictureLayoutText(const PictureLayout& layout);

// The layout that `text` states; nothing when it is of another version, lacks tiles,
// columns or zoom, or holds a key twice or a value out of range (format and source may
// be missing or empty; the line is 0 when missing).
std::optional<PictureLayout> ParsePictureLayout(std::string_view text);

// The size in pixels of the picture that RenderTiles draws of the layout's tiles.
std::pair<std::uint64_t, std::uint64_t> PictureSize(const PictureLayout& layout);

// The image as an 8-bit indexed PNG file; with `layout`, which it keeps in a text chunk.
std::vector<std::uint8_t> EncodePng(const TileImage& image, const PictureLayout* layout = nullptr);

// The layout a PNG file keeps (the first chunk of kLayoutKeyword, before the image's
// end); nothing when it keeps none or its text is no layout. Reads the chunks from the
// bytes as they are: any length and any byte are checked, and a chunk whose CRC is wrong
// is passed over.
std::optional<PictureLayout> ReadPictureLayout(std::span<const std::uint8_t> png);

}  // namespace quarvel
