#include "preview/png_decode.h"

#include <gtest/gtest.h>

#include <string>

#include "support/bytes.h"
#include "support/png.h"

namespace quarvel {
namespace {

using testing::Bytes;

// Sample `c` of pixel (x, y) of the images in data/png, as the program that wrote them made it.
unsigned Value(unsigned x, unsigned y, unsigned c, unsigned depth) {
  return ((x * 7 + y * 13 + c * 5) * 2654435761u >> 9) & ((1u << depth) - 1);
}

// Images of 13 x 11 pixels written by libpng, with each filter, interlaced or not, at
// depths of 1 to 16 bits, read as their samples say and as the same image written plainly
// (no filter, not interlaced, the same chunks before its data).
TEST(PngDecode, ReadsEveryFilterInterlaceAndDepthAsThePlainImage) {
  const struct {
    const char* file;
    std::uint8_t type, depth, channels;
    bool transparent;
  } rows[] = {
      {"grey1-adam7-sub.png", 0, 1, 1, false},          {"grey2-up.png", 0, 2, 1, false},
      {"grey4-trns-adam7-average.png", 0, 4, 1, true},  {"indexed2-trns-adam7-paeth.png", 3, 2, 1, true},
      {"indexed4-adam7.png", 3, 4, 1, false},           {"rgb16-trns-adam7-paeth.png", 2, 16, 3, true},
      {"grey-alpha16-average.png", 4, 16, 2, false},    {"rgba8-adam7-every-filter.png", 6, 8, 4, false},
  };
  for (const auto& row : rows) {
    const Bytes png = testing::ReadFile(std::string(QUARVEL_TEST_DATA "/png/") + row.file);
    const unsigned depth = row.depth, top = (1u << depth) - 1, rowBytes = (13 * row.channels * depth + 7) / 8;
    Bytes samples(11 * rowBytes);
    for (unsigned y = 0; y < 11; ++y) {
      for (unsigned i = 0, bit = 0; i < 13u * row.channels; ++i, bit += depth) {
        const unsigned v = Value(i / row.channels, y, i % row.channels, depth);
        std::uint8_t* at = samples.data() + y * rowBytes;
        if (depth == 16) at[2 * i] = static_cast<std::uint8_t>(v >> 8), at[2 * i + 1] = v & 0xFF;
        else at[bit / 8] |= static_cast<std::uint8_t>(v << (8 - depth - bit % 8));
      }
    }
    std::vector<std::string> names;
    std::vector<testing::Chunk> chunks;
    for (std::size_t at = 33; std::string(png.begin() + at + 4, png.begin() + at + 8) != "IDAT"; at += 12 + png[at + 3]) {
      names.emplace_back(png.begin() + at + 4, png.begin() + at + 8);
      chunks.push_back({nullptr, Bytes(png.begin() + at + 8, png.begin() + at + 8 + png[at + 3])});
    }
    for (std::size_t i = 0; i < names.size(); ++i) chunks[i].type = names[i].c_str();
    const auto read = DecodePng(png, 1 << 24);
    const auto plain = DecodePng(testing::HandPng(13, 11, row.type, depth, samples, chunks), 1 << 24);
    ASSERT_TRUE(read && plain) << row.file << ": " << (read ? plain : read).error().message;
    EXPECT_EQ(read->rows, plain->rows) << row.file;
    EXPECT_EQ(read->indexAlpha, plain->indexAlpha) << row.file;
    const std::size_t pixel = read->rowBytes / 13;
    for (unsigned at = 0; at < 13 * 11; ++at) {  // the first sample: an index, else red, 16 bits or scaled to 8
      const std::uint8_t* first = read->rows.data() + at * pixel;
      const unsigned v = Value(at % 13, at / 13, 0, depth);
      ASSERT_EQ(depth == 16 ? first[0] << 8 | first[1] : first[0], read->indexed || depth == 16 ? v : v * 255 / top)
          << row.file << ", pixel " << at;
    }
    EXPECT_EQ((read->indexed ? read->indexAlpha[read->rows[0]] : read->rows[pixel - 1]) == 0, row.transparent) << row.file;
  }
}

// Paeth's tie of up and up-left goes to up: at (1, 1), left 9, up 12, up-left 10.
TEST(PngDecode, UndoesPaethAsTheFormatDefinesIt) {
  const auto read = DecodePng(testing::HandPng(2, 2, 0, 8, {10, 2, 0xFF, 38}, {}, 0, 4), 1 << 24);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ((Bytes{read->rows[0], read->rows[4], read->rows[8], read->rows[12]}), (Bytes{10, 12, 9, 50}));
}

}  // namespace
}  // namespace quarvel
