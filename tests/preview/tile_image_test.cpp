#include "preview/tile_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

// The parts of an indexed PNG file (4 or 8 bits a pixel), read back.
struct ReadPng {
  unsigned width = 0, height = 0;
  std::vector<Rgb> palette;
  std::vector<std::uint8_t> pixels;
};

std::uint32_t Word(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

ReadPng Read(const Bytes& png) {
  ReadPng image;
  unsigned depth = 8;
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  Bytes packed;
  for (std::size_t at = 8; at < png.size();) {
    const std::uint32_t length = Word(png, at);
    const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4), png.begin() + static_cast<std::ptrdiff_t>(at + 8));
    const Bytes data(png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                     png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    EXPECT_EQ(Word(png, at + 8 + length), crc32(0, png.data() + at + 4, length + 4)) << type;
    if (type == "IHDR") {
      image.width = Word(data, 0);
      image.height = Word(data, 4);
      depth = data[8];
      EXPECT_TRUE(depth == 4 || depth == 8) << depth;
      EXPECT_EQ(Bytes(data.begin() + 9, data.end()), (Bytes{3, 0, 0, 0}));
    } else if (type == "PLTE") {
      for (std::size_t i = 0; i + 2 < data.size(); i += 3) image.palette.push_back({data[i], data[i + 1], data[i + 2]});
    } else if (type == "IDAT") {
      packed.insert(packed.end(), data.begin(), data.end());
    }
    at += 12 + length;
  }
  const unsigned rowBytes = (image.width * depth + 7) / 8;
  uLongf size = (rowBytes + 1) * image.height;
  Bytes raw(size);
  EXPECT_EQ(uncompress(raw.data(), &size, packed.data(), static_cast<uLong>(packed.size())), Z_OK);
  for (unsigned y = 0; y < image.height; ++y) {
    EXPECT_EQ(raw[y * (rowBytes + 1)], 0);  // no filter
    for (unsigned x = 0; x < image.width; ++x) {
      const std::uint8_t byte = raw[y * (rowBytes + 1) + 1 + x * depth / 8];
      image.pixels.push_back(depth == 8 ? byte : x % 2 == 0 ? byte >> 4 : byte & 0xF);
    }
  }
  return image;
}

// Three tiles: tile t has pixel (x, y) = (x + y + t) % 16.
Bytes ThreeTiles() {
  Bytes data;
  for (unsigned t = 0; t < 3; ++t)
    for (unsigned y = 0; y < 8; ++y)
      for (unsigned x = 0; x < 8; x += 2) data.push_back(static_cast<std::uint8_t>((x + y + t) % 16 << 4 | (x + 1 + y + t) % 16));
  return data;
}

TEST(TilePng, HoldsEveryPixelWherePaletteTileOrderAndZoomPutIt) {
  Bytes palette;
  for (unsigned i = 0; i < 16; ++i) {
    const unsigned word = (i % 8) << 1 | (7 - i % 8) << 5 | (i / 8 * 7) << 9;  // red up, green down, blue on the second half
    palette.push_back(static_cast<std::uint8_t>(word >> 8));
    palette.push_back(static_cast<std::uint8_t>(word));
  }
  const auto colours = ParseMegaDrivePalette(palette);
  ASSERT_TRUE(colours);
  for (const unsigned zoom : {1u, 3u}) {
    const auto image = RenderTiles(ThreeTiles(), *colours, 2, zoom);  // two tiles a row: a second row with one
    ASSERT_TRUE(image) << image.error();
    const ReadPng png = Read(EncodePng(*image));
    ASSERT_EQ(png.width, 16 * zoom);
    ASSERT_EQ(png.height, 16 * zoom);
    ASSERT_EQ(png.palette.size(), 16u);
    for (unsigned i = 0; i < 16; ++i) {
      const auto level = [](unsigned v) { return static_cast<std::uint8_t>((v * 255 + 3) / 7); };
      EXPECT_EQ(png.palette[i], (Rgb{level(i % 8), level(7 - i % 8), level(i / 8 * 7)})) << i;
    }
    for (unsigned y = 0; y < png.height; ++y) {
      for (unsigned x = 0; x < png.width; ++x) {
        const unsigned tx = x / zoom / 8, ty = y / zoom / 8, tile = ty * 2 + tx;
        const unsigned expected = tile < 3 ? (x / zoom % 8 + y / zoom % 8 + tile) % 16 : 0;
        ASSERT_EQ(png.pixels[y * png.width + x], expected) << "zoom " << zoom << " at " << x << "," << y;
      }
    }
  }
}

TEST(TileImage, OneRowWhenThereAreFewerTilesThanColumns) {
  const auto image = RenderTiles(ThreeTiles(), GreyPalette(), 16, 1);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 24u);
  EXPECT_EQ(image->height, 8u);
  EXPECT_EQ(image->palette[15], (Rgb{255, 255, 255}));
  EXPECT_EQ(image->palette[1], (Rgb{17, 17, 17}));
}

TEST(TileImage, APartTileIsFilledWithZero) {
  const auto image = RenderTiles(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x12}, GreyPalette(), 16, 1);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, 8u);
  EXPECT_EQ(image->pixels[0], 15);
  EXPECT_EQ(image->pixels[8], 1);
  EXPECT_EQ(image->pixels[9], 2);
  EXPECT_EQ(image->pixels[10], 0);
  EXPECT_EQ(image->pixels[63], 0);
}

TEST(TileImage, RefusesWhatCannotBeDrawn) {
  EXPECT_FALSE(RenderTiles({}, GreyPalette(), 16, 1));
  EXPECT_FALSE(RenderTiles(ThreeTiles(), GreyPalette(), 0, 1));
  EXPECT_FALSE(RenderTiles(ThreeTiles(), GreyPalette(), 16, 0));
  EXPECT_FALSE(RenderTiles(ThreeTiles(), GreyPalette(), 16, 9));
}

// A map's words index video memory: tile (word & 0x7FF) - the first tile of those given.
TEST(PlaneMap, DrawsTheTilesFromWhereTheyStartInVideoMemory) {
  using Case = std::tuple<const char*, unsigned, std::vector<unsigned>>;  // pixel (1, 0) of each word: 1 + t, blank 0
  for (const auto& [map, first, shown] : {Case{"00 00  00 02  00 03", 0, {1, 3, 0}}, Case{"02 00  00 02", 0, {0, 3}},
                                          Case{"02 00  22 02  01 FF  02 03", 0x200, {1, 19, 0, 0}}}) {  // line 1, below, past
    const auto image = RenderPlaneMap(testing::Hex(map), ThreeTiles(), {}, 8, 1, first);
    for (std::size_t w = 0; w < shown.size(); ++w) EXPECT_EQ(image->pixels[w * 8 + 1], shown[w]) << map << " " << w;
  }
  EXPECT_EQ(ProposedFirstTile(testing::Hex("02 01  82 EF  02 10"), 254), 0x200u);  // the title screen's
  EXPECT_EQ(ProposedFirstTile(testing::Hex("00 30  00 31"), 16), 0x20u);
  EXPECT_EQ(ProposedFirstTile(testing::Hex("00 30  00 31"), 0x31), 0u);
  EXPECT_EQ(ProposedFirstTile(testing::Hex("00 00  02 01"), 254), 0u);
}

// A map in a second palette line has indexes past 16: 8 bits a pixel, each read back.
TEST(PlaneMap, ItsPictureHoldsEveryPaletteLine) {
  const auto image = RenderPlaneMap(testing::Hex("20 00  00 01"), ThreeTiles(), {GreyPalette(), GreyPalette()}, 2, 1, 0);
  ASSERT_TRUE(image);
  const ReadPng png = Read(EncodePng(*image));
  EXPECT_EQ(png.palette.size(), image->palette.size());
  EXPECT_EQ(png.pixels, image->pixels);
  EXPECT_GT(*std::max_element(png.pixels.begin(), png.pixels.end()), 15);
}

// A picture keeps its layout whole, and a text that is no layout of this version is none.
TEST(PictureLayout, IsKeptInThePictureAndReadOnlyWhenWhole) {
  const PictureLayout layout{"nemesis", 525, 16, 2, 1, "s1.bin@0x1F27A"};
  const Bytes png = EncodePng(*RenderTiles(ThreeTiles(), GreyPalette(), 2, 1), &layout);
  EXPECT_EQ(ReadPictureLayout(png), layout);
  EXPECT_EQ(PictureSize(layout), (std::pair<std::uint64_t, std::uint64_t>{256, 528}));  // 33 rows of 16, at zoom 2
  Bytes broken = png;
  broken[static_cast<std::size_t>(std::search(png.begin(), png.end(), kLayoutKeyword.begin(), kLayoutKeyword.end()) - png.begin()) + 20] ^= 1;
  EXPECT_FALSE(ReadPictureLayout(broken));                                // its CRC is wrong
  EXPECT_FALSE(ReadPictureLayout(Bytes(png.begin(), png.begin() + 60)));  // the file ends inside it
  EXPECT_EQ(ParsePictureLayout(PictureLayoutText({"nemesis", 3, 2, 1, 0, "a\nb\xE9.bin"}))->source, "a?b?.bin");
  const std::pair<const char*, bool> texts[] = {
      {"version=1\ntiles=3\ncolumns=2\nzoom=1", true},  // format, line and source may be missing
      {"version=1\ntiles=3\ncolumns=2\nzoom=1\ncolour=red\nnote", true},  // unknown keys passed over
      {"version=2\ntiles=3\ncolumns=2\nzoom=1", false},
      {"tiles=3\ncolumns=2\nzoom=1", false},
      {"version=1\ntiles=3\ncolumns=2\nzoom=9", false},
      {"version=1\ntiles=3\ncolumns=0\nzoom=1", false},
      {"version=1\ntiles=3\ntiles=4\ncolumns=2\nzoom=1", false},
      {"version=1\ntiles=-3\ncolumns=2\nzoom=1", false},
      {"version=1\ntiles=99999999999\ncolumns=2\nzoom=1", false},
      {"version=1\ntiles=3\ncolumns=2\nzoom=1\nline=4", false},
  };
  for (const auto& [text, layout] : texts) EXPECT_EQ(ParsePictureLayout(text).has_value(), layout) << text;
}

TEST(MegaDrivePalette, TakesOneToFourWholeLinesAndNothingElse) {
  Bytes words(32, 0);
  words[0] = 0x0E;  // blue 7
  words[1] = 0xEE;  // green 7, red 7
  words[3] = 0x02;  // red 1
  const auto palette = ParseMegaDrivePalette(words);
  ASSERT_TRUE(palette);
  EXPECT_EQ((*palette)[0], (Rgb{255, 255, 255}));
  EXPECT_EQ((*palette)[1], (Rgb{36, 0, 0}));
  for (const std::size_t size : {32, 64, 96, 128}) EXPECT_EQ(ParseMegaDrivePaletteLines(Bytes(size, 0))->size(), size / 32);
  for (const std::size_t size : {0, 31, 40, 160, 512 * 1024}) {  // a ROM image is no palette
    const auto notOne = ParseMegaDrivePaletteLines(Bytes(size, 0));
    ASSERT_FALSE(notOne) << size;
    EXPECT_NE(notOne.error().find("32, 64, 96 or 128 bytes; this one has " + std::to_string(size)), std::string::npos);
  }
}

}  // namespace
}  // namespace quarvel
