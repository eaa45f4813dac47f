#include <gtest/gtest.h>

#include "encoders/kosinski_samples.h"
#include "encoders/nemesis_corpus.h"
#include "formats/format_table.h"
#include "scan/test_roms.h"

namespace quarvel {
namespace {

using testing::Bytes;

struct Input {
  Format format;
  std::string name;
  Bytes data;
};

// The tests' corpora: mixed data for Kosinski, tile art for Nemesis and Kosinski
// Moduled, plane maps and mappings for Enigma.
std::vector<Input> Corpora() {
  std::vector<Input> inputs;
  for (auto& sample : testing::Samples()) inputs.push_back({Format::Kosinski, sample.name, std::move(sample.data)});
  for (auto& sample : testing::NemesisCorpus()) inputs.push_back({Format::Nemesis, sample.name, std::move(sample.tiles)});
  for (unsigned seed = 0; seed < 8; ++seed) {
    inputs.push_back({Format::KosinskiModuled, "art " + std::to_string(seed), testing::TileArt(10 + seed * 250, seed)});
    inputs.push_back({Format::Enigma, "plane map " + std::to_string(seed), testing::PlaneMap(8 + seed * 5, 4 + seed % 5 * 7, seed)});
  }
  inputs.push_back({Format::Enigma, "mappings", testing::Mappings(300, 4)});
  return inputs;
}

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
  for (const auto& input : Corpora()) {
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
