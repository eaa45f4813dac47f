#include "preview/png_import.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

Bytes Art(std::size_t tiles) {
  Bytes art;
  for (std::size_t i = 0; i < tiles * 32; ++i) art.push_back(static_cast<std::uint8_t>((i * 37 >> 3) ^ i / 32));
  return art;
}

struct Chunk {
  const char* type;
  Bytes data;
};

// A PNG written by hand: `samples` row by row as the colour type and depth lay them out,
// `chunks` before the image data, and `excess` zero bytes more image data than the rows.
Bytes HandPng(unsigned width, unsigned height, std::uint8_t colourType, std::uint8_t depth, const Bytes& samples,
              const std::vector<Chunk>& chunks = {}, std::size_t excess = 0) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&png](const char* type, const Bytes& data) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(data.size() >> shift));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const auto crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(crc >> shift));
  };
  Bytes header;
  for (const unsigned value : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<std::uint8_t>(value >> shift));
  header.insert(header.end(), {depth, colourType, 0, 0, 0});
  const std::size_t rowBytes = samples.size() / height;
  Bytes rows;
  for (unsigned y = 0; y < height; ++y) {
    rows.push_back(0);
    rows.insert(rows.end(), samples.begin() + y * rowBytes, samples.begin() + (y + 1) * rowBytes);
  }
  rows.resize(rows.size() + excess, 0);
  Bytes packed(compressBound(static_cast<uLong>(rows.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()));
  packed.resize(packedSize);
  chunk("IHDR", header);
  for (const auto& [type, data] : chunks) chunk(type, data);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return png;
}

// A truecolour PNG of `rgb` (three bytes a pixel, row by row).
Bytes RgbPng(unsigned width, unsigned height, const Bytes& rgb) { return HandPng(width, height, 2, 8, rgb); }

// An 8 x 8 image of one sample (of `bytes` bytes) everywhere but at (0, 0).
Bytes Samples(const Bytes& first, const Bytes& rest) {
  Bytes samples = first;
  for (int i = 1; i < 64; ++i) samples.insert(samples.end(), rest.begin(), rest.end());
  return samples;
}

class PngImport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanReadPng()) GTEST_SKIP() << "built without libpng";
    for (unsigned i = 0; i < 16; ++i) palette_[0][i] = {static_cast<std::uint8_t>(i * 16), 0, static_cast<std::uint8_t>(255 - i)};
  }
  std::vector<Palette> palette_ = std::vector<Palette>(1);
};

// What the previews draw comes back as the same tiles, indexed or in colour.
TEST_F(PngImport, APreviewGivesBackItsTiles) {
  const Bytes art = Art(12);
  const auto indexed = TilesFromPng(EncodePng(*RenderTiles(art, GreyPalette(), 4, 1)), {});
  ASSERT_TRUE(indexed) << indexed.error();
  EXPECT_EQ(indexed->tiles, art);
  EXPECT_TRUE(indexed->warnings.empty());

  const auto image = *RenderTiles(art, palette_[0], 6, 1);
  Bytes rgb;
  for (const auto pixel : image.pixels) rgb.insert(rgb.end(), {image.palette[pixel].r, image.palette[pixel].g, image.palette[pixel].b});
  const auto coloured = TilesFromPng(RgbPng(image.width, image.height, rgb), palette_);
  ASSERT_TRUE(coloured) << coloured.error();
  EXPECT_EQ(coloured->tiles, art);

  // A map drawn in palette line 2: indices 32 to 47, folded into 0 to 15 with a warning.
  const Bytes map{0x40, 0x00, 0x40, 0x01};
  const auto folded = TilesFromPng(EncodePng(*RenderPlaneMap(map, art, {GreyPalette()}, 2, 1)), {});
  ASSERT_TRUE(folded) << folded.error();
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
    ASSERT_TRUE(tiles) << c.name << ": " << tiles.error();
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
      const auto tiles = TilesFromPng(drawn(c.scale, c.offBy), palette, match);
      const bool expected = match == ColourMatch::Exact ? c.exact : c.nearest;
      ASSERT_EQ(tiles.has_value(), expected) << c.name << (tiles ? "" : ": " + tiles.error());
      if (expected) {
        EXPECT_EQ(tiles->tiles, art) << c.name;
      }
    }
  }
}

TEST_F(PngImport, SaysWhatItCannotTake) {
  Bytes rgb;
  for (int i = 0; i < 16 * 8; ++i) rgb.insert(rgb.end(), {0, 0, 255});  // colour 0
  rgb[(2 * 16 + 3) * 3] = 1, rgb[(2 * 16 + 3) * 3 + 2] = 0;  // (1, 0, 0) at (3, 2): in no palette colour
  struct Case {
    const char* name;
    Bytes png;
    std::vector<Palette> palette;
    const char* error;
  };
  const Case cases[] = {
      {"not a PNG", Bytes{'G', 'I', 'F', '8'}, palette_, "not a PNG image"},
      {"a width not a multiple of 8", RgbPng(12, 8, Bytes(12 * 8 * 3, 0)), palette_, "12 x 8 pixels"},
      {"a colour the palette lacks", RgbPng(16, 8, rgb), palette_, "the pixel at (3, 2) has the colour (1, 0, 0)"},
      {"colours without a palette", RgbPng(16, 8, rgb), {}, "give the palette"},
      {"a pixel partly transparent", HandPng(8, 8, 4, 8, Samples({0, 128}, {0, 255})), palette_,
       "the pixel at (0, 0) is partly transparent"},
      {"a 16-bit colour that no 8-bit one makes", HandPng(8, 8, 0, 16, Samples({0x12, 0x34}, {0, 0})), palette_,
       "the pixel at (0, 0) has a 16-bit colour that no 8-bit colour makes"},
      {"16 MiB of image data for 8 x 8 pixels", HandPng(8, 8, 0, 8, Bytes(64, 0), {}, 16 << 20), palette_,
       "the image holds more data than its 8 x 8 pixels need"},
  };
  for (const auto& c : cases) {
    const auto tiles = TilesFromPng(c.png, c.palette);
    ASSERT_FALSE(tiles) << c.name;
    EXPECT_NE(tiles.error().find(c.error), std::string::npos) << c.name << ": " << tiles.error();
  }
}

}  // namespace
}  // namespace quarvel
