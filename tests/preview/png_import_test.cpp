#include "preview/png_import.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/bytes.h"
#include "support/png.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::HandPng;
using testing::RgbPng;

Bytes Art(std::size_t tiles) {
  Bytes art;
  for (std::size_t i = 0; i < tiles * 32; ++i) art.push_back(static_cast<std::uint8_t>((i * 37 >> 3) ^ i / 32));
  return art;
}

// An 8 x 8 image of one sample (of `bytes` bytes) everywhere but at (0, 0).
Bytes Samples(const Bytes& first, const Bytes& rest) {
  Bytes samples = first;
  for (int i = 1; i < 64; ++i) samples.insert(samples.end(), rest.begin(), rest.end());
  return samples;
}

class PngImport : public ::testing::Test {
 protected:
  void SetUp() override {
    for (unsigned i = 0; i < 16; ++i) palette_[0][i] = {static_cast<std::uint8_t>(i * 16), 0, static_cast<std::uint8_t>(255 - i)};
  }
  std::vector<Palette> palette_ = std::vector<Palette>(1);
};

// What the previews draw comes back as the same tiles, indexed or in colour.
TEST_F(PngImport, APreviewGivesBackItsTiles) {
  const Bytes art = Art(12);
  const auto indexed = TilesFromPng(EncodePng(*RenderTiles(art, GreyPalette(), 4, 1)), {});
  ASSERT_TRUE(indexed) << indexed.error().message;
  EXPECT_EQ(indexed->tiles, art);
  EXPECT_TRUE(indexed->warnings.empty());

  const auto image = *RenderTiles(art, palette_[0], 6, 1);
  Bytes rgb;
  for (const auto pixel : image.pixels) rgb.insert(rgb.end(), {image.palette[pixel].r, image.palette[pixel].g, image.palette[pixel].b});
  const auto coloured = TilesFromPng(RgbPng(image.width, image.height, rgb), palette_);
  ASSERT_TRUE(coloured) << coloured.error().message;
  EXPECT_EQ(coloured->tiles, art);

  // A map drawn in palette line 2: indices 32 to 47, folded into 0 to 15 with a warning.
  const Bytes map{0x40, 0x00, 0x40, 0x01};
  const auto folded = TilesFromPng(EncodePng(*RenderPlaneMap(map, art, {GreyPalette()}, 2, 1)), {});
  ASSERT_TRUE(folded) << folded.error().message;
  EXPECT_EQ(folded->tiles, Bytes(art.begin(), art.begin() + 64));
  EXPECT_EQ(folded->warnings.size(), 1u);
}

// Transparency is colour 0; 16-bit channels are the 8-bit colours they were made from;
// gamma is no concern of Mega Drive art.
TEST_F(PngImport, TakesTransparencyDepthsAndGammaAsTheArtMeansThem) {
  const auto [r5, g5, b5] = palette_[0][5];
  const auto [r9, g9, b9] = palette_[0][9];
  const auto wide = [](std::uint8_t v) { return Bytes{v, v}; };  // v * 257
  Bytes sixteen;
  for (const std::uint8_t v : {r9, g9, b9}) sixteen = testing::Concat(sixteen, wide(v));
  Bytes tile(32, 0x55);
  tile[0] = 0x05;
  struct Case {
    const char* name;
    Bytes png;
    Bytes tiles;
  };
  const Case cases[] = {
      {"a transparent pixel of a colour image", HandPng(8, 8, 6, 8, Samples({r9, g9, b9, 0}, {r5, g5, b5, 255})), tile},
      {"a transparent index", HandPng(8, 8, 3, 8, Samples({3}, {5}), {{"PLTE", Bytes(18, 0)}, {"tRNS", {255, 255, 255, 0}}}),
       tile},
      {"16 bits a channel", HandPng(8, 8, 2, 16, Samples(sixteen, sixteen)), Bytes(32, 0x99)},
      {"a gamma that is not 1", HandPng(8, 8, 2, 8, Samples({r9, g9, b9}, {r9, g9, b9}), {{"gAMA", {0, 0, 0xAF, 0xC8}}}),
       Bytes(32, 0x99)},
  };
  for (const auto& c : cases) {
    const auto tiles = TilesFromPng(c.png, palette_);
    ASSERT_TRUE(tiles) << c.name << ": " << tiles.error().message;
    EXPECT_EQ(tiles->tiles, c.tiles) << c.name;
  }
}

// Tools scale the eight levels a channel three ways; each comes back to the palette's
// colours when asked to match the nearest, and a colour half a step off does not.
TEST_F(PngImport, NearestTakesEveryToolsScaleOfTheLevels) {
  Bytes words;  // colour i: red level i % 8, green 0 or 7, blue level 3i % 8
  for (unsigned i = 0; i < 16; ++i) words.insert(words.end(), {static_cast<std::uint8_t>((3 * i % 8) << 1),
                                                              static_cast<std::uint8_t>((i / 8 * 7) << 5 | (i % 8) << 1)});
  const std::vector<Palette> palette{*ParseMegaDrivePalette(words)};
  const Bytes art = Art(4);
  const auto drawn = [&](int (*scale)(int), int offBy) {
    Bytes rgb;
    const auto image = *RenderTiles(art, palette[0], 4, 1);
    for (const auto pixel : image.pixels) {
      for (const int level : {pixel % 8, pixel / 8 * 7, 3 * pixel % 8})
        rgb.push_back(static_cast<std::uint8_t>(std::clamp(scale(level) + offBy, 0, 255)));
    }
    return RgbPng(image.width, image.height, rgb);
  };
  struct Case {
    const char* name;
    int (*scale)(int);
    int offBy;
    bool exact, nearest;
  };
  const Case cases[] = {
      {"v * 255 / 7, rounded (the palette's)", [](int v) { return (v * 255 + 3) / 7; }, 0, true, true},
      {"v * 36", [](int v) { return v * 36; }, 0, false, true},
      {"v * 34 (shadow-free)", [](int v) { return v * 34; }, 0, false, true},
      {"v * 36, 17 more", [](int v) { return v * 36; }, 17, false, true},
      {"v * 255 / 7, 18 more", [](int v) { return (v * 255 + 3) / 7; }, 18, false, false},
  };
  for (const auto& c : cases) {
    for (const auto match : {ColourMatch::Exact, ColourMatch::Nearest}) {
      const auto tiles = TilesFromPng(drawn(c.scale, c.offBy), palette, {.match = match});
      const bool expected = match == ColourMatch::Exact ? c.exact : c.nearest;
      ASSERT_EQ(tiles.has_value(), expected) << c.name << (tiles ? "" : ": " + tiles.error().message);
      if (expected) {
        EXPECT_EQ(tiles->tiles, art) << c.name;
      }
    }
  }
}

// Art of 13 tiles, 4 a row at zoom 2 (3 blank tiles fill the last row), read with its
// layout, without it, and as the caller asks; solid tiles at zoom 1 read as an expected count says.
TEST_F(PngImport, ReadsTheZoomAndTileCountTheArtWasDrawnWith) {
  const Bytes art = Art(13), solid = testing::Concat(Bytes(64, 0x11), Bytes(64, 0x22));  // 4 tiles of one colour each
  const TileImage image = *RenderTiles(art, GreyPalette(), 4, 2);
  const PictureLayout layout{"nemesis", 13, 4, 2, 0, ""};
  const Bytes kept = EncodePng(image, &layout), plain = EncodePng(image), blocks = EncodePng(*RenderTiles(solid, GreyPalette(), 2, 1));
  using R = ReadingChoice;
  struct Case {
    const char* name;
    const Bytes& png;
    PictureReading how;
    unsigned zoom;
    std::size_t count, blankAtEnd;
    R zoomFrom, countFrom;
  };
  const Case cases[] = {
      {"its layout", kept, {}, 2, 13, 0, R::Layout, R::Layout},
      {"no layout", plain, {}, 2, 16, 3, R::Picture, R::Picture},
      {"no layout, 13 expected", plain, {.expectedTiles = 13}, 2, 13, 0, R::Expected, R::Expected},
      {"no layout, 12 expected: the 13th is no blank", plain, {.expectedTiles = 12}, 2, 16, 3, R::Picture, R::Picture},
      {"a count given", plain, {.tileCount = 14}, 2, 14, 0, R::Picture, R::Given},
      {"zoom 1 given", kept, {.zoom = 1}, 1, 64, 6, R::Given, R::Picture},
      {"solid tiles", blocks, {}, 2, 1, 0, R::Picture, R::Picture},
      {"solid tiles, 4 expected", blocks, {.expectedTiles = 4}, 1, 4, 0, R::Expected, R::Expected},
  };
  for (const auto& c : cases) {
    const auto read = TilesFromPng(c.png, {}, c.how);
    ASSERT_TRUE(read) << c.name << ": " << read.error().message;
    EXPECT_EQ((std::array<std::size_t, 3>{read->zoom, read->tileCount, read->blankTilesAtEnd}),
              (std::array<std::size_t, 3>{c.zoom, c.count, c.blankAtEnd})) << c.name;
    EXPECT_EQ(read->zoomFrom, c.zoomFrom) << c.name;
    EXPECT_EQ(read->countFrom, c.countFrom) << c.name;
    if (c.zoom == 2 && c.count >= 13) {
      EXPECT_EQ(read->tiles, testing::Concat(art, Bytes(32 * (c.count - 13), 0))) << c.name;
    }
  }
  EXPECT_EQ(TilesFromPng(blocks, {}, {.expectedTiles = 4})->tiles, solid);
}

// Each tile of a colour picture is matched within one palette line: line 1 holds line
// 0's colour 7 at index 3, and its colour 2 at index 5 too.
TEST_F(PngImport, MatchesEachTileWithinOnePaletteLine) {
  std::vector<Palette> lines = palette_;
  lines.emplace_back();
  for (unsigned i = 0; i < 16; ++i) lines[1][i] = {0, static_cast<std::uint8_t>(i * 16), 0};
  lines[1][3] = lines[0][7], lines[1][5] = lines[1][2];
  const auto tiles = [](std::vector<std::pair<Rgb, Rgb>> colours) {  // a row of tiles, each two colours across
    Bytes rgb;
    for (unsigned y = 0; y < 8; ++y)
      for (const auto& [a, b] : colours)
        for (unsigned x = 0; x < 8; ++x) rgb.insert(rgb.end(), {(x % 2 ? b : a).r, (x % 2 ? b : a).g, (x % 2 ? b : a).b});
    return RgbPng(static_cast<unsigned>(8 * colours.size()), 8, rgb);
  };
  const auto l0 = [&](unsigned i) { return lines[0][i]; };
  const auto l1 = [&](unsigned i) { return lines[1][i]; };
  struct Case {
    const char* name;
    Bytes png;
    PictureReading how;
    Bytes bytes;  // a byte of each tile, or nothing for a refusal
    const char* said;
  };
  const Case cases[] = {
      {"line 1's, one of them line 0's too", tiles({{l1(1), l1(3)}, {l0(7), l0(8)}}), {}, {0x13, 0x78}, ""},
      {"line 0's colour 7 alone", tiles({{l0(7), l0(7)}}), {}, {0x77}, ""},
      {"line 0's colour 7 alone, line 1 first", tiles({{l0(7), l0(7)}}), {.firstLine = 1}, {0x33}, ""},
      {"a colour two indices share", tiles({{l1(2), l1(1)}}), {}, {0x21},
       "colour (0, 32, 0) is index 2 and index 5 of line 1; index 2 was taken"},
      {"line 0 asked, which lacks a colour", tiles({{l1(1), l1(3)}}), {.line = 0}, {},
       "the pixel at (0, 0) has the colour (0, 16, 0), which palette line 0 does not hold"},
      {"colours of two lines in a tile", tiles({{l0(7), l0(8)}, {l0(8), l1(1)}}), {}, {},
       "tile 1 (its top-left pixel at (8, 0)) has the colour (0, 16, 0), which no palette line holds together with "
       "the tile's other colours"},
  };
  for (const auto& c : cases) {
    const auto read = TilesFromPng(c.png, lines, c.how);
    ASSERT_EQ(read.has_value(), !c.bytes.empty()) << c.name;
    if (!read) {
      EXPECT_EQ(read.error().message, c.said) << c.name;
      continue;
    }
    Bytes expected;
    for (const auto byte : c.bytes) expected = testing::Concat(expected, Bytes(32, byte));
    EXPECT_EQ(read->tiles, expected) << c.name;
    std::vector<std::string> said;
    for (const auto& warning : read->warnings) said.push_back(warning.message);
    EXPECT_EQ(said, *c.said ? std::vector<std::string>{c.said} : std::vector<std::string>{}) << c.name;
  }
}

TEST_F(PngImport, SaysWhatItCannotTake) {
  Bytes rgb;
  for (int i = 0; i < 16 * 8; ++i) rgb.insert(rgb.end(), {0, 0, 255});  // colour 0
  rgb[(2 * 16 + 3) * 3] = 1, rgb[(2 * 16 + 3) * 3 + 2] = 0;  // (1, 0, 0) at (3, 2): in no palette colour
  using Kind = PngProblem::Kind;
  struct Case {
    const char* name;
    Bytes png;
    std::vector<Palette> palette;
    Kind kind;
    const char* error;
    PictureReading how = {};
  };
  const Bytes art = EncodePng(*RenderTiles(Art(4), GreyPalette(), 2, 1));  // 16 x 16
  Bytes damaged = art, cut = art;
  damaged[damaged.size() - 13] ^= 1;  // the last byte of the image data's CRC, before IEND
  cut.resize(cut.size() - 20);
  const Case cases[] = {
      {"not a PNG", Bytes{'G', 'I', 'F', '8'}, palette_, Kind::NotPng, "not a PNG image"},
      {"a width not a multiple of 8", RgbPng(12, 8, Bytes(12 * 8 * 3, 0)), palette_, Kind::NotWholeTiles, "12 x 8 pixels"},
      {"a colour the palette lacks", RgbPng(16, 8, rgb), palette_, Kind::NotInPalette,
       "the pixel at (3, 2) has the colour (1, 0, 0)"},
      {"colours without a palette", RgbPng(16, 8, rgb), {}, Kind::NoPalette, "give the palette"},
      {"a pixel partly transparent", HandPng(8, 8, 4, 8, Samples({0, 128}, {0, 255})), palette_, Kind::PartlyTransparent,
       "the pixel at (0, 0) is partly transparent"},
      {"a 16-bit colour that no 8-bit one makes", HandPng(8, 8, 0, 16, Samples({0x12, 0x34}, {0, 0})), palette_,
       Kind::Wide16Bits, "the pixel at (0, 0) has a 16-bit colour that no 8-bit colour makes"},
      {"16 MiB of image data for 8 x 8 pixels", HandPng(8, 8, 0, 8, Bytes(64, 0), {}, 16 << 20), palette_,
       Kind::TooMuchData, "the image holds more data than its 8 x 8 pixels need"},
      {"a zoom that does not divide the size", art, {}, Kind::NotWholeTiles, "at zoom 3 tiles need a width and a height "
       "that are multiples of 24", {.zoom = 3}},
      {"a cell of two colours at the zoom given", art, {}, Kind::MixedCell, "the 2 x 2 pixels at (2, 0) are not one colour",
       {.zoom = 2}},
      {"more tiles than the picture holds", art, {}, Kind::TileCountTooLarge,
       "the tile count is 5, and the picture holds 4 tiles (2 a row at zoom 1)", {.tileCount = 5}},
      {"a line past the palette's", RgbPng(16, 8, rgb), palette_, Kind::NoSuchLine,
       "palette line 1 is asked for, and the palette has 1 line", {.line = 1}},
      {"a damaged chunk", damaged, {}, Kind::Unreadable, "the IDAT chunk at byte 93 is damaged: its CRC does not match"},
      {"a file cut short", cut, {}, Kind::Unreadable, "is longer than the rest of the file"},
      {"an unknown critical chunk", HandPng(8, 8, 0, 8, Bytes(64, 0), {{"QUAR", {}}}), {}, Kind::Unreadable,
       "the chunk at byte 33 is of an unknown critical type (QUAR)"},
      {"colour indices without a palette", HandPng(8, 8, 3, 8, Bytes(64, 0)), {}, Kind::Unreadable, "has no palette (PLTE)"},
      {"too little image data", HandPng(8, 8, 0, 8, Bytes(56, 0)), {}, Kind::Unreadable, "ends before its last row"},
      {"a depth of 3 bits", HandPng(8, 8, 0, 3, Bytes(24, 0)), {}, Kind::Unreadable, "colour type 0 of 3 bits"},
  };
  for (const auto& c : cases) {
    const auto tiles = TilesFromPng(c.png, c.palette, c.how);
    ASSERT_FALSE(tiles) << c.name;
    EXPECT_EQ(tiles.error().kind, c.kind) << c.name;
    EXPECT_NE(tiles.error().message.find(c.error), std::string::npos) << c.name << ": " << tiles.error().message;
  }
  const auto lacking = TilesFromPng(RgbPng(16, 8, rgb), palette_).error();  // where and what, for other words
  EXPECT_EQ((std::array<unsigned, 5>{lacking.x, lacking.y, lacking.colour.r, lacking.colour.g, lacking.colour.b}),
            (std::array<unsigned, 5>{3, 2, 1, 0, 0}));
}

}  // namespace
}  // namespace quarvel
