#include "decoders/nemesis.h"

#include <gtest/gtest.h>

#include <random>

#include "encoders/nemesis_compressor.h"
#include "encoders/nemesis_corpus.h"
#include "support/bytes.h"
#include "support/trickle_source.h"

namespace quarvel {
namespace {

using testing::Bits;
using testing::Bytes;
using testing::Concat;
using testing::Hex;
using testing::ToHex;

// Codes: 00 -> pixel 0; 01 -> pixel 1; 10 -> eight pixels 15. Inline codes are
// 111111, a 3-bit run field and a 4-bit pixel.
const Bytes kTable = Hex("80 02 00  81 02 01  8F 72 02  FF");

Bytes Block(const char* header, const Bytes& table, const char* bits) {
  return Concat(Concat(Hex(header), table), Bits(bits));
}

std::string Rows(std::initializer_list<const char*> rows) {
  Bytes bytes;
  for (const char* row : rows) bytes = Concat(bytes, Hex(row));
  return ToHex(bytes);
}

TEST(Nemesis, OneTileGivesThirtyTwoBytesOfBigEndianRows) {
  const Bytes block = Block("00 01", kTable,
                            "10"                                   // row 0: eight 15s
                            "00 01 00 01 00 01 00 01"              // row 1: 0 1 0 1 0 1 0 1
                            "111111 111 1000"                      // row 2: inline, eight 8s
                            "111111 010 0101  10"                  // row 3: three 5s, then 15s ...
                            "01 01 01 01 01"                       // row 4: ... three more, five 1s
                            "00 00 00 00 00 00 00 00 00 00 00 00"  // rows 5-7: zeros
                            "00 00 00 00 00 00 00 00 00 00 00 00");
  const auto decoded = DecodeNemesis(block, 0);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(ToHex(decoded->bytes), Rows({"FF FF FF FF", "01 01 01 01", "88 88 88 88", "55 5F FF FF", "FF F1 11 11",
                                         "00 00 00 00", "00 00 00 00", "00 00 00 00"}));
}

TEST(Nemesis, ARunCrossesARowAndATile) {
  // Tile 0: seven rows of inline 3s; row 7 has five 0s, then eight 15s that fill it
  // and the first five pixels of tile 1's first row.
  std::string bits;
  for (int row = 0; row < 7; ++row) bits += "111111 111 0011 ";
  bits += "00 00 00 00 00  10  01 01 01 ";
  for (int row = 1; row < 8; ++row) bits += "111111 111 0100 ";
  const auto decoded = DecodeNemesis(Block("00 02", kTable, bits.c_str()), 0);
  ASSERT_TRUE(decoded) << decoded.error().message;
  ASSERT_EQ(decoded->bytes.size(), 64u);
  const Bytes rows(decoded->bytes.begin() + 28, decoded->bytes.begin() + 40);
  EXPECT_EQ(ToHex(rows), "00 00 0F FF FF FF F1 11 44 44 44 44");
}

// An inline code after k one-bit codes is looked up with 16 - k bits in the window:
// 15 or 16 take no byte first, 9 to 14 take one.
TEST(Nemesis, InlineCodesDecodeAtEveryBitCount) {
  const Bytes table = Hex("80 01 00  FF");  // 0 -> pixel 0
  for (unsigned k = 0; k < 8; ++k) {
    std::string bits(k, '0');
    bits += " 111111 ";
    for (int b = 2; b >= 0; --b) bits += ((7 - k) >> b & 1) ? '1' : '0';  // run field 7 - k
    bits += " 1010";
    for (int row = 1; row < 8; ++row) bits += " 111111 111 0011";
    const auto decoded = DecodeNemesis(Block("00 01", table, bits.c_str()), 0);
    ASSERT_TRUE(decoded) << "bit count " << 16 - k << ": " << decoded.error().message;
    std::string row0 = std::string(k, '0') + std::string(8 - k, 'A');
    EXPECT_EQ(ToHex(Bytes(decoded->bytes.begin(), decoded->bytes.begin() + 4)),
              ToHex(Hex((row0.substr(0, 2) + " " + row0.substr(2, 2) + " " + row0.substr(4, 2) + " " + row0.substr(6, 2)))))
        << "bit count " << 16 - k;
    EXPECT_EQ(ToHex(Bytes(decoded->bytes.begin() + 28, decoded->bytes.end())), "33 33 33 33");
  }
}

TEST(Nemesis, XorModeCombinesEachRowWithTheStoredOneBefore) {
  std::string bits;
  for (int row = 0; row < 16; ++row) bits += "111111 111 1000 ";  // every decoded row 88888888
  const auto decoded = DecodeNemesis(Block("80 02", kTable, bits.c_str()), 0);
  ASSERT_TRUE(decoded) << decoded.error().message;
  Bytes expected;
  for (int row = 0; row < 16; ++row) expected = Concat(expected, Hex(row % 2 == 0 ? "88 88 88 88" : "00 00 00 00"));
  EXPECT_EQ(ToHex(decoded->bytes), ToHex(expected));
}

TEST(Nemesis, ZeroTilesDecodeToNothing) {
  for (const Bytes& block : {Hex("00 00 FF"), Hex("00 00 FF 12 34"), Hex("80 00 80 01 00 FF")}) {
    const auto decoded = DecodeNemesis(block, 0);
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_TRUE(decoded->bytes.empty());
  }
}

// Eight inline codes of 13 bits: 104 bits, exactly 13 bytes after the table.
const char* kExactBits =
    "111111 111 0001 111111 111 0010 111111 111 0011 111111 111 0100"
    "111111 111 0101 111111 111 0110 111111 111 0111 111111 111 1001";

TEST(Nemesis, ABlockEndingAtTheEndOfTheDataDecodes) {
  const Bytes block = Block("00 01", kTable, kExactBits);
  const auto decoded = DecodeNemesis(block, 0);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(ToHex(Bytes(decoded->bytes.end() - 4, decoded->bytes.end())), "99 99 99 99");
  EXPECT_EQ(decoded->compressedSize, block.size());
}

TEST(Nemesis, ACodeNeedingBitsPastTheEndFails) {
  const Bytes block = Block("00 01", kTable, kExactBits);
  for (std::size_t size = 0; size < block.size(); ++size) {
    const auto decoded = DecodeNemesis(Bytes(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size)), 0);
    if (size == 0) continue;  // no block at all: the offset is past the end
    ASSERT_FALSE(decoded) << "cut at " << size;
    EXPECT_EQ(decoded.error().kind, DecodeErrorKind::Truncated) << "cut at " << size;
    EXPECT_EQ(decoded.error().position, size);
  }
}

// Tile counts around the old limits all decode whole: 1 bit a row with "0 -> eight 1s".
TEST(Nemesis, EveryTileCountUpTo8192Decodes) {
  const Bytes table = Hex("81 71 00  FF");
  for (const unsigned tiles : {1u, 1023u, 1024u, 4096u, 4097u, 8192u}) {
    const Bytes header{static_cast<std::uint8_t>(tiles >> 8), static_cast<std::uint8_t>(tiles)};
    const Bytes block = Concat(Concat(header, table), Bytes(tiles, 0x00));
    const auto decoded = DecodeNemesis(block, 0);
    ASSERT_TRUE(decoded) << tiles << ": " << decoded.error().message;
    ASSERT_EQ(decoded->bytes.size(), tiles * 32u);
    EXPECT_EQ(decoded->bytes, Bytes(tiles * 32u, 0x11)) << tiles;
  }
}

TEST(Nemesis, MoreThan8192TilesFailBeforeDecoding) {
  for (const char* header : {"20 01", "7F FF", "FF FF"}) {
    const auto decoded = DecodeNemesis(Concat(Hex(header), Hex("FF")), 0);
    ASSERT_FALSE(decoded) << header;
    EXPECT_EQ(decoded.error().kind, DecodeErrorKind::TooManyTiles) << header;
  }
}

TEST(Nemesis, AnUndefinedCodeIsAZeroLengthZeroPixelWhateverCameBefore) {
  // 10 is not defined by this table: it reads as length 0, pixel 0, one pixel, and
  // takes no bits, so every later pixel reads it again.
  const Bytes sparse = Block("00 01", Hex("81 02 00  FF"), "00 10101010 10101010 10101010 101010");
  const auto alone = DecodeNemesis(sparse, 0);
  ASSERT_TRUE(alone) << alone.error().message;
  EXPECT_EQ(ToHex(Bytes(alone->bytes.begin(), alone->bytes.begin() + 4)), "10 00 00 00");

  const auto other = DecodeNemesis(Block("00 01", kTable, "10 10 10 10 10 10 10 10"), 0);  // defines 10
  ASSERT_TRUE(other);
  const auto after = DecodeNemesis(sparse, 0);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->bytes, alone->bytes);

  // After a malformed 15-bit code the window holds 2 bits: the undefined code 02 that
  // follows is topped up past, and the next lookup finds the 7-bit code 82 (pixel 1).
  // Codes 80-FF: 15 bits, pixel 0; 82-83: 7 bits, pixel 1.
  const auto malformed = DecodeNemesis(Hex("00 01  80 0F 01  81 07 41  FF  83 00 02 08 00 00"), 0);
  ASSERT_TRUE(malformed) << malformed.error().message;
  EXPECT_EQ(ToHex(malformed->bytes), Rows({"10 01 00 00", "00 00 00 00", "00 00 00 00", "00 00 00 00", "00 00 00 00",
                                          "00 00 00 00", "00 00 00 00", "00 00 00 00"}));
}

TEST(Nemesis, FailuresOfTheHeaderAndTable) {
  struct Case {
    const char* block;
    std::int64_t offset;
    DecodeErrorKind kind;
  };
  for (const auto& c : {Case{"00", 0, DecodeErrorKind::Truncated}, Case{"00 01 80 01", 0, DecodeErrorKind::Truncated},
                        Case{"00 01 00 40 FF", 0, DecodeErrorKind::MalformedCodeTable},
                        Case{"00 00 FF", -1, DecodeErrorKind::NegativeOffset},
                        Case{"00 00 FF", 3, DecodeErrorKind::OffsetBeyondEnd}}) {
    const auto decoded = DecodeNemesis(Hex(c.block), c.offset);
    ASSERT_FALSE(decoded) << c.block;
    EXPECT_EQ(decoded.error().kind, c.kind) << c.block << ": " << decoded.error().message;
  }
}

TEST(Nemesis, DecodesABlockInsideLargerData) {
  const Bytes block = Block("00 01", kTable, kExactBits);
  const Bytes rom = Concat(Concat(Hex("AB CD EF"), block), Hex("FF FF FF"));
  const auto inside = DecodeNemesis(rom, 3);
  const auto alone = DecodeNemesis(block, 0);
  ASSERT_TRUE(inside && alone);
  EXPECT_EQ(inside->bytes, alone->bytes);
  EXPECT_EQ(inside->compressedSize, block.size());
}

// A stream all in memory takes a fast path; bytes that come one at a time, the general
// one. Both give the same answer on every block of the corpus, whole and with a byte
// changed here and there (codes left undefined, runs past a row, streams cut short).
TEST(Nemesis, TheFastPathAnswersAsTheGeneralOne) {
  std::mt19937 random(7);
  unsigned fast = 0;
  struct Sample {
    std::string name;
    Bytes block;
  };
  std::vector<Sample> samples;
  for (const auto& sample : testing::NemesisCorpus()) samples.push_back({sample.name, *CompressNemesis(sample.tiles)});
  // Records that write over one another: entry 1000 0010 is an 8-bit code inside the
  // range of the 4-bit code 1000, so 1000 1000 0010 is not two codes 1000.
  samples.push_back({"overlapping records", Concat(Block("00 20", Hex("80 71 00  81 04 08  82 08 82  FF"), ""),
                                                   Concat(Hex("88 20"), Bytes(40, 0)))});
  // A code of five 1 bits, whose entries reach those of the inline codes' 111111, among
  // codes that pair with it: 16 tiles in XOR mode, of random codes.
  const char* codes[] = {"00", "01", "10", "110", "1110", "11111 00", "111111 011 0101"};
  std::string bits;
  for (unsigned pixels = 0, pick = 0; pixels < 16 * 64; pixels += pick == 6 ? 4 : pick == 5 ? 2 : 1)
    bits += codes[pick = random() % 7] + std::string(" ");
  samples.push_back({"five 1 bits beside inline codes",
                     Block("80 10", Hex("80 02 00  81 02 01  82 02 02  84 03 06  85 04 0E  83 05 1F  FF"), bits.c_str())});
  for (const auto& sample : samples) {
    const Bytes& block = sample.block;
    for (unsigned change = 0; change < 40; ++change) {
      Bytes bytes = block;
      if (change > 0) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
      if (change % 8 == 7) bytes.resize(1 + random() % bytes.size());  // not empty: no block starts there
      const auto inMemory = DecodeNemesis(bytes, 0);
      testing::TrickleSource trickle(bytes, 0);
      const auto general = DecodeNemesis(trickle);
      ASSERT_EQ(inMemory.has_value(), general.has_value()) << sample.name << " " << change;
      if (inMemory) {
        EXPECT_EQ(inMemory->bytes, general->bytes) << sample.name << " " << change;
        EXPECT_EQ(inMemory->compressedSize, general->compressedSize) << sample.name << " " << change;
        fast += change == 0 ? 1 : 0;
      } else {
        EXPECT_EQ(inMemory.error().kind, general.error().kind) << sample.name << " " << change;
        EXPECT_EQ(inMemory.error().position, general.error().position) << sample.name << " " << change;
      }
    }
  }
  EXPECT_GT(fast, 0u);
}

}  // namespace
}  // namespace quarvel
