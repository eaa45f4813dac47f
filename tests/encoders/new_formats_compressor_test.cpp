#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "decoders/enigma.h"
#include "decoders/kosinski_moduled.h"
#include "decoders/saxman.h"
#include "encoders/enigma_compressor.h"
#include "encoders/kosinski_moduled_compressor.h"
#include "encoders/kosinski_samples.h"
#include "encoders/saxman_compressor.h"
#include "scan/test_roms.h"

namespace quarvel {
namespace {

using testing::Bytes;

// The bytes of the plainest block for `words`: every word inline, 15 to a list entry.
std::size_t AllInlineSize(const Bytes& words) {
  unsigned largest = 0, flags = 0;
  for (std::size_t at = 0; at < words.size(); at += 2) {
    const unsigned word = words[at] << 8 | words[at + 1];
    largest = std::max(largest, word & 0x7FFu);
    flags |= word >> 11;
  }
  const std::size_t count = words.size() / 2;
  const std::size_t valueBits = std::max(1u, static_cast<unsigned>(std::bit_width(largest))) + static_cast<std::size_t>(std::popcount(flags));
  const std::size_t bits = (count + 14) / 15 * 7 + count * valueBits + 7;
  const std::size_t size = 6 + (bits + 7) / 8;
  return size + size % 2;
}

TEST(EnigmaCompressor, PlaneMapsDecodeBackNoLargerThanAllInline) {
  struct Case {
    std::string name;
    Bytes words;
  };
  std::vector<Case> cases = {{"one word", {0x12, 0x34}},
                             {"zeros", Bytes(2048, 0)},
                             {"every flag and the largest index", testing::Hex("FF FF 00 00 87 FF 00 01")},
                             {"mappings", testing::Mappings(300, 4)}};
  for (unsigned seed = 1; seed <= 12; ++seed)
    cases.push_back({"plane map " + std::to_string(seed), testing::PlaneMap(8 + seed * 5, 4 + seed % 5 * 7, seed)});
  for (const auto& c : cases) {
    const auto block = CompressEnigma(c.words);
    ASSERT_TRUE(block) << c.name;
    EXPECT_EQ(block->size() % 2, 0u) << c.name;
    const auto decoded = DecodeEnigma(*block, 0);
    ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
    EXPECT_EQ(decoded->bytes, c.words) << c.name;
    EXPECT_LE(block->size(), AllInlineSize(c.words)) << c.name;
  }
  EXPECT_FALSE(CompressEnigma(Bytes(3, 0)));
  EXPECT_FALSE(CompressEnigma({}));
}

TEST(KosinskiModuledCompressor, OneTwoAndSixteenModulesDecodeBack) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{0x1000}, std::size_t{0x1001}, std::size_t{0x2345},
                                 kModuledCapacity}) {
    const Bytes data = testing::Filled(testing::Filler::RawTiles, size, static_cast<unsigned>(size));
    const auto block = CompressKosinskiModuled(data);
    ASSERT_TRUE(block) << size;
    const auto decoded = DecodeKosinskiModuled(*block, 0);
    ASSERT_TRUE(decoded) << size << ": " << decoded.error().message;
    EXPECT_EQ(decoded->bytes, data) << size;
    EXPECT_EQ(decoded->compressedSize, block->size()) << size;
  }
  EXPECT_FALSE(CompressKosinskiModuled({}));
  EXPECT_FALSE(CompressKosinskiModuled(Bytes(kModuledCapacity + 1, 0)));
}

// The song decodes back to `data`, the decoder reading all of it and no more.
void ExpectSongOf(const Bytes& song, const Bytes& data, const std::string& name) {
  const auto back = DecodeSaxman(song, 0);
  ASSERT_TRUE(back) << name << ": " << back.error().message;
  EXPECT_EQ(back->bytes, data) << name;
  EXPECT_EQ(back->compressedSize, song.size()) << name;
}

// The games' own songs for the inputs made for them, byte for byte.
TEST(SaxmanCompressor, TheGamesOwnSongsByteForByte) {
  std::size_t checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUARVEL_TEST_DATA "/accurate")) {
    if (entry.path().extension() != ".sax") continue;
    const std::string name = entry.path().filename().string();
    const Bytes stored = testing::ReadFile(entry.path());
    const Bytes data = testing::ReadFile(std::filesystem::path(entry.path()).replace_extension(".in"));
    const auto made = CompressSaxmanAccurate(data);
    ASSERT_TRUE(made) << name << ": " << made.error();
    EXPECT_EQ(testing::ToHex(*made), testing::ToHex(stored)) << name;
    ExpectSongOf(stored, data, name);
    ++checked;
  }
  EXPECT_EQ(checked, 12u);
}

// Both songs decode back and the smallest is never larger than the games' own; data
// whose stream would pass 65,535 bytes, or that passes 65,536 bytes, makes none.
TEST(SaxmanCompressor, BothDecodeBackAndTheSmallestIsNeverLarger) {
  auto samples = testing::Samples();
  for (unsigned seed = 0; seed < 4; ++seed) samples.push_back({"song", testing::Song(500 + seed * 2500, seed)});
  samples.push_back({"too long", Bytes(kSaxmanCapacity + 1, 0)});
  for (const auto& [name, data] : samples) {
    const auto games = CompressSaxmanAccurate(data);
    const auto smallest = CompressSaxman(data);
    if (!smallest) {  // random 65,536 bytes need 73,728 stream bytes
      ASSERT_FALSE(games) << name;
      EXPECT_NE(smallest.error().find("65,53"), std::string::npos) << name << ": " << smallest.error();
      continue;
    }
    ASSERT_TRUE(games) << name << ": " << games.error();
    ExpectSongOf(*games, data, name + ", the games' own");
    ExpectSongOf(*smallest, data, name + ", the smallest");
    EXPECT_LE(smallest->size(), games->size()) << name;
  }
}

}  // namespace
}  // namespace quarvel
