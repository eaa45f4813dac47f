#include <gtest/gtest.h>

#include "encoders/format_corpora.h"
#include "formats/format_table.h"

namespace quarvel {
namespace {

using testing::Bytes;

// What the decoder reads of a block that must decode back to `data`.
std::uint64_t Stream(Format format, const Bytes& block, const Bytes& data) {
  const auto back = DecodeBlock(format, block, 0);
  EXPECT_TRUE(back && back->bytes == data && back->warnings.empty());
  return back ? back->compressedSize : 0;
}

// Both compressors of each format give back the data, and the smallest block is never
// larger than the games' own (counted without the padding after the stream). On tile
// art the Nemesis one is 3 % smaller at least.
TEST(AccurateCompressors, RoundTripAndTheSmallestBlockIsNeverLarger) {
  std::uint64_t nemesisSmallest = 0, nemesisGames = 0;
  for (const auto& input : testing::FormatCorpora()) {
    SCOPED_TRACE(std::string(FormatName(input.format)) + ", " + input.name);
    const auto& codec = CodecOf(input.format);
    const auto games = codec.compressAccurate(input.data, {.evenLength = input.format == Format::Nemesis, .headerSize = {}});
    const auto smallest = codec.compress(input.data);
    ASSERT_TRUE(games && smallest);
    const std::uint64_t gamesSize = Stream(input.format, *games, input.data);
    const std::uint64_t smallestSize = Stream(input.format, *smallest, input.data);
    EXPECT_LE(smallestSize, gamesSize);
    if (input.format == Format::Nemesis) nemesisSmallest += smallestSize, nemesisGames += gamesSize;
  }
  EXPECT_LE(static_cast<double>(nemesisSmallest), 0.97 * static_cast<double>(nemesisGames));
}

}  // namespace
}  // namespace quarvel
