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

// A truecolour PNG of `rgb` (three bytes a pixel, row by row), written by hand.
Bytes RgbPng(unsigned width, unsigned height, const Bytes& rgb) {
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
  header.insert(header.end(), {8, 2, 0, 0, 0});
  Bytes rows;
  for (unsigned y = 0; y < height; ++y) {
    rows.push_back(0);
    rows.insert(rows.end(), rgb.begin() + y * width * 3, rgb.begin() + (y + 1) * width * 3);
  }
  Bytes packed(compressBound(static_cast<uLong>(rows.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()));
  packed.resize(packedSize);
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return png;
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
  };
  for (const auto& c : cases) {
    const auto tiles = TilesFromPng(c.png, c.palette);
    ASSERT_FALSE(tiles) << c.name;
    EXPECT_NE(tiles.error().find(c.error), std::string::npos) << c.name << ": " << tiles.error();
  }
}

}  // namespace
}  // namespace quarvel
