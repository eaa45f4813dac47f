#include "encoders/nemesis_compressor.h"

#include <gtest/gtest.h>

#include <random>

#include "decoders/nemesis.h"
#include "encoders/nemesis_corpus.h"
#include "encoders/previous_nemesis_compressor.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

// Tiles whose pixels `pixel(tile, row, column)` gives.
template <class Pixel>
Bytes Art(std::size_t tiles, Pixel pixel) {
  Bytes data;
  for (std::size_t t = 0; t < tiles; ++t) {
    for (unsigned row = 0; row < 8; ++row) {
      for (unsigned column = 0; column < 8; column += 2) {
        data.push_back(static_cast<std::uint8_t>(pixel(t, row, column) << 4 | pixel(t, row, column + 1)));
      }
    }
  }
  return data;
}

struct Record {
  unsigned pixel, run, length, code;
};

// The records of a block's code table.
std::vector<Record> Records(const Bytes& block) {
  std::vector<Record> records;
  unsigned pixel = 0;
  for (std::size_t at = 2; block.at(at) != 0xFF;) {
    if (block[at] >= 0x80) pixel = block[at++] & 0x0F;
    records.push_back({pixel, unsigned{block[at]} >> 4, unsigned{block[at]} & 0x0Fu, block[at + 1]});
    at += 2;
  }
  return records;
}

void ExpectRoundTripWithValidCodes(const Bytes& tiles, const std::string& name) {
  const auto block = CompressNemesis(tiles);
  ASSERT_TRUE(block) << name << ": " << block.error();
  const auto decoded = DecodeNemesis(*block, 0);
  ASSERT_TRUE(decoded) << name << ": " << decoded.error().message;
  ASSERT_EQ(decoded->bytes, tiles) << name;
  EXPECT_EQ(decoded->compressedSize, block->size()) << name;

  std::vector<bool> taken(256, false);  // table entries; 252-255 belong to the inline code
  for (const auto& r : Records(*block)) {
    ASSERT_GE(r.length, 1u) << name;
    ASSERT_LE(r.length, 8u) << name;
    ASSERT_LE(r.run, 7u) << name;
    ASSERT_LT(r.code, 1u << r.length) << name;
    for (unsigned e = r.code << (8 - r.length); e < (r.code + 1) << (8 - r.length); ++e) {
      ASSERT_LT(e, 252u) << name << ": a code begins with six 1 bits";
      ASSERT_FALSE(taken[e]) << name << ": codes overlap";
      taken[e] = true;
    }
  }
}

TEST(NemesisCompressor, TileArtOfEveryKindDecodesBack) {
  std::mt19937 random(8);
  struct Case {
    std::string name;
    Bytes tiles;
  };
  const std::vector<Case> cases = {
      {"one tile of zeros", Bytes(32, 0)},
      {"one tile of 15s", Bytes(32, 0xFF)},
      {"two colours", Art(64, [&](auto, auto, auto) { return random() % 2 * 9; })},
      {"sixteen colours", Art(64, [&](auto, auto, auto) { return random() % 16; })},
      {"gradient", Art(40, [](auto t, auto row, auto column) { return (t + row + column / 3) % 16; })},
      {"stripes", Art(30, [](auto, auto row, auto) { return row % 2 ? 3 : 12; })},
      {"same row in every tile", Art(50, [](auto, auto, auto column) { return column; })},
      {"runs across rows", Art(20, [](auto t, auto row, auto column) { return (t * 64 + row * 8 + column) / 11 % 5; })},
      {"sparse", Art(100, [&](auto, auto, auto) { return random() % 50 == 0 ? random() % 16 : 0; })},
      {"8192 tiles", Art(8192, [&](auto t, auto row, auto) { return (t / 7 + row) % 4; })},
  };
  for (const auto& c : cases) ExpectRoundTripWithValidCodes(c.tiles, c.name);
}

// Tile art of the shapes games hold, and the inputs above: each decodes back and is no
// larger than the compressor made it before it weighed the table's own bytes; the
// corpus is smaller in all, and as small as it is today.
TEST(NemesisCompressor, NoInputLargerThanBefore) {
  std::size_t now = 0, before = 0;
  for (const auto& sample : testing::NemesisCorpus()) {
    ExpectRoundTripWithValidCodes(sample.tiles, sample.name);
    const auto size = CompressNemesis(sample.tiles)->size(), previous = previous::CompressNemesis(sample.tiles).size();
    EXPECT_LE(size, previous) << sample.name;
    now += size;
    before += previous;
  }
  EXPECT_LT(now, before);
  // The compressor's choices, kept by every change made only for its speed.
  EXPECT_EQ(now, 12753u);
}

TEST(NemesisCompressor, RandomTilesOfEverySmallCount) {
  std::mt19937 random(9);
  for (std::size_t tiles = 1; tiles <= 40; ++tiles) {
    const unsigned colours = 1 + random() % 16;
    ExpectRoundTripWithValidCodes(Art(tiles, [&](auto, auto, auto) { return random() % colours; }),
                                  std::to_string(tiles) + " tiles");
  }
}

TEST(NemesisCompressor, RepeatedRowsChooseXorMode) {
  const Bytes tiles = Art(16, [](auto, auto, auto column) { return column * 2 % 16; });
  const auto block = CompressNemesis(tiles);
  ASSERT_TRUE(block);
  EXPECT_EQ((*block)[0] & 0x80, 0x80);
}

TEST(NemesisCompressor, NoTilesGiveAnEmptyBlock) {
  const auto block = CompressNemesis({});
  ASSERT_TRUE(block);
  EXPECT_EQ(testing::ToHex(*block), "00 00 FF");
}

TEST(NemesisCompressor, RefusesPartTilesAndTooManyTiles) {
  const auto part = CompressNemesis(Bytes(33, 0));
  ASSERT_FALSE(part);
  EXPECT_NE(part.error().find("32-byte tiles"), std::string::npos);
  const auto many = CompressNemesis(Bytes(8193 * 32, 0));
  ASSERT_FALSE(many);
  EXPECT_NE(many.error().find("8193 tiles"), std::string::npos);
}

}  // namespace
}  // namespace quarvel
