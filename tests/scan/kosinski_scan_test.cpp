#include "scan/kosinski_scan.h"

#include <gtest/gtest.h>

#include "decoders/kosinski.h"
#include "test_roms.h"

namespace quarvel {
namespace {

// Every offset of a stretch of each filler, and of real blocks entered at each of their
// bytes, asked from the end down and from the start up: the scanner's answer is the
// decoder's probe, for blocks no larger than what they decode to.
TEST(KosinskiScan, AnswersAsTheDecoderAtEveryOffset) {
  testing::Bytes rom;
  for (const auto filler : testing::kFillers) {
    const auto part = testing::Filled(filler, filler == testing::Filler::Blocks ? 24 << 10 : 6 << 10, 5);
    rom.insert(rom.end(), part.begin(), part.end());
    rom.push_back(0x3F);  // so that each stretch starts at an even and an odd offset in turn
  }
  std::vector<std::optional<BlockProbe>> expected(rom.size());
  for (std::size_t offset = 0; offset < rom.size(); ++offset) {
    expected[offset] = ProbeKosinski(rom, offset);
    if (expected[offset] && expected[offset]->compressedSize > KosinskiLongestStream(expected[offset]->decodedSize))
      expected[offset].reset();
  }
  for (const bool downwards : {true, false}) {
    const KosinskiScanner scanner(rom);
    std::size_t blocks = 0;
    for (std::size_t i = 0; i < rom.size(); ++i) {
      const std::size_t offset = downwards ? rom.size() - 1 - i : i;
      const auto found = scanner.At(offset);
      ASSERT_EQ(found.has_value(), expected[offset].has_value()) << HexOffset(offset) << (downwards ? " down" : " up");
      if (!found) continue;
      ++blocks;
      EXPECT_EQ(found->decodedSize, expected[offset]->decodedSize) << HexOffset(offset);
      EXPECT_EQ(found->compressedSize, expected[offset]->compressedSize) << HexOffset(offset);
    }
    EXPECT_GT(blocks, 10u);
  }
}

}  // namespace
}  // namespace quarvel
