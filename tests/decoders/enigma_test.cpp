#include "decoders/enigma.h"

#include <gtest/gtest.h>

#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::ToHex;

// A header, then the entries written as bits ("0 0 0010 ..."), padded with zero bits.
Bytes Block(const char* header, std::string_view bits) {
  Bytes block = Hex(header);
  unsigned used = 8;
  for (const char bit : bits) {
    if (bit != '0' && bit != '1') continue;
    if (used == 8) {
      block.push_back(0);
      used = 0;
    }
    if (bit == '1') block.back() |= static_cast<std::uint8_t>(0x80 >> used);
    ++used;
  }
  return block;
}

TEST(Enigma, TheWorkedExampleDecodesExactly) {
  const auto block = DecodeEnigma(Hex("05 18 00 01 00 00 09 1A 51 38 A7 3F FC"), 0);
  ASSERT_TRUE(block) << block.error().message;
  EXPECT_EQ(ToHex(block->bytes), "00 01 00 02 00 03 00 00 00 00 80 04 80 05 80 06 40 07 00 1F");
  EXPECT_EQ(block->compressedSize, 13u);
}

struct EntryCase {
  const char* name;
  const char* header;  // N, M, I, L
  const char* bits;
  const char* words;
};

TEST(Enigma, EachEntryKindAndFlagBit) {
  const EntryCase cases[] = {
      {"incrementing word, kept for the next entry", "03 00 00 05 00 00", "0 0 0001  0 0 0000  1 11 1111",
       "00 05 00 06 00 07"},
      {"incrementing word wraps", "03 00 FF FF 00 00", "0 0 0001  1 11 1111", "FF FF 00 00"},
      {"literal word", "03 00 00 00 AB CD", "0 1 0010  1 11 1111", "AB CD AB CD AB CD"},
      {"inline repeat", "03 00 00 00 00 00", "1 00 0001 101  1 11 1111", "00 05 00 05"},
      {"inline rising", "03 00 00 00 00 00", "1 01 0010 110  1 11 1111", "00 06 00 07 00 08"},
      {"inline falling wraps", "03 00 00 00 00 00", "1 10 0001 000  1 11 1111", "00 00 FF FF"},
      {"inline list", "03 00 00 00 00 00", "1 11 0001 001 010  1 11 1111", "00 01 00 02"},
      {"sixteen at once", "01 00 00 00 00 07", "0 1 1111  1 11 1111",
       "00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07 00 07"},
      {"priority", "03 10 00 00 00 00", "1 00 0000 1 011  1 11 1111", "80 03"},
      {"palette line, high bit", "03 08 00 00 00 00", "1 00 0000 1 011  1 11 1111", "40 03"},
      {"palette line, low bit", "03 04 00 00 00 00", "1 00 0000 1 011  1 11 1111", "20 03"},
      {"vertical flip", "03 02 00 00 00 00", "1 00 0000 1 011  1 11 1111", "10 03"},
      {"horizontal flip", "03 01 00 00 00 00", "1 00 0000 1 011  1 11 1111", "08 03"},
      {"every flag, highest first", "03 1F 00 00 00 00", "1 00 0000 10101 011  1 11 1111", "A8 03"},
      {"mask bits 5 to 7 read no bits", "03 E0 00 00 00 00", "1 00 0000 011  1 11 1111", "00 03"},
      {"the end entry first", "03 00 00 00 00 00", "1 11 1111", ""},
  };
  for (const auto& c : cases) {
    const auto block = DecodeEnigma(Block(c.header, c.bits), 0);
    ASSERT_TRUE(block) << c.name << ": " << block.error().message;
    EXPECT_EQ(ToHex(block->bytes), ToHex(Hex(c.words))) << c.name;
  }
}

TEST(Enigma, EveryCutOfABlockIsTruncated) {
  const Bytes whole = Hex("05 18 00 01 00 00 09 1A 51 38 A7 3F FC");
  for (std::size_t size = 1; size < whole.size(); ++size) {
    const auto block = DecodeEnigma(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)), 0);
    ASSERT_FALSE(block) << size;
    EXPECT_EQ(block.error().kind, DecodeErrorKind::Truncated) << size;
  }
}

TEST(Enigma, StopsAtItsCapacity) {
  std::string bits;
  for (std::size_t words = 0; words <= kEnigmaCapacity / 2; words += 16) bits += "0 1 1111 ";
  const auto block = DecodeEnigma(Block("01 00 00 00 00 00", bits + "1 11 1111"), 0);
  ASSERT_FALSE(block);
  EXPECT_EQ(block.error().kind, DecodeErrorKind::OutputTooLarge);
}

TEST(Enigma, AddsABaseWordWrapping) {
  Bytes words = Hex("00 01 FF FF 12");
  AddBaseWord(words, 0x0102);
  EXPECT_EQ(ToHex(words), "01 03 01 01 12");
}

}  // namespace
}  // namespace quarvel
