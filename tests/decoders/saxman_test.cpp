#include "decoders/saxman.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::Hex;

// A song of "ABC", zero fills up to 4,095 bytes of output, then 18 bytes copied from
// 4,095 back, the farthest a copy reaches.
Bytes FarCopy() {
  Bytes stream = Hex("07 41 42 43");  // three literals, then copies
  std::size_t command = 3;
  const auto copy = [&](std::uint8_t b0, std::uint8_t b1) {
    if (command++ % 8 == 0) stream.push_back(0);  // a descriptor of copies
    stream.insert(stream.end(), {b0, b1});
  };
  for (std::size_t w = 3; w < 4095; w += 18)  // zeros: from position -1, (-1 - 18) mod 4096 = 0xFED
    copy(0xED, static_cast<std::uint8_t>(0xF0 | (std::min<std::size_t>(4095 - w, 18) - 3)));
  copy(0xEE, 0xFF);  // 18 bytes from position 0: (0 - 18) mod 4096 = 0xFEE
  return Concat({static_cast<std::uint8_t>(stream.size()), static_cast<std::uint8_t>(stream.size() >> 8)}, stream);
}

struct Case {
  const char* name;
  Bytes input;
  Bytes output;                                // when it decodes
  std::optional<DecodeErrorKind> error = {};   // when it does not
  std::optional<std::uint16_t> streamSize = {};  // a stream without its count
};

TEST(Saxman, DecodesEachCommandAndRefusesWhatNoCompressorWrites) {
  const Case cases[] = {
      {"a zero fill: a copy from before the start", Hex("03 00  00  ED F2"), Bytes(5, 0)},
      {"a copy that overlaps what it writes", Hex("05 00  03  41 42  EE F3"), Hex("41 42 41 42 41 42 41 42")},
      {"the count ends right after a descriptor", Hex("0A 00  FF  01 02 03 04 05 06 07 08  FF"),
       Hex("01 02 03 04 05 06 07 08")},
      {"an empty song", Hex("00 00"), {}},
      {"the stream alone", Hex("03  41 42  EE F3  99"), Hex("41 42 41 42 41 42 41 42"), {}, 5},
      {"18 bytes from 4,095 back", FarCopy(),
       Concat(Concat(Hex("41 42 43"), Bytes(4092, 0)), Concat(Hex("41 42 43"), Bytes(15, 0)))},
      {"the count passes the data", Hex("05 00  FF  01"), {}, DecodeErrorKind::Truncated},
      {"a copy of the byte being written", Hex("04 00  01  41  EF F0"), {}, DecodeErrorKind::BadCopy},
      {"the count ends inside a copy", Hex("02 00  00  EE"), {}, DecodeErrorKind::BadCopy},
  };
  for (const auto& c : cases) {
    const auto block = c.streamSize ? DecodeSaxmanStream(c.input, 0, *c.streamSize) : DecodeSaxman(c.input, 0);
    if (c.error) {
      ASSERT_FALSE(block) << c.name;
      EXPECT_EQ(block.error().kind, *c.error) << c.name << ": " << block.error().message;
      continue;
    }
    ASSERT_TRUE(block) << c.name << ": " << block.error().message;
    EXPECT_EQ(block->bytes, c.output) << c.name;
    EXPECT_EQ(block->compressedSize, c.streamSize.value_or(c.input.size())) << c.name;
  }
}

}  // namespace
}  // namespace quarvel
