#include "formats/format_table.h"
#include "scan/block_scan.h"

#include <gtest/gtest.h>

#include <map>

#include "test_roms.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::Filler;

std::string Describe(const ScanCandidate& c) {
  return HexOffset(c.offset) + " " + std::string(FormatName(c.format)) + " " + std::to_string(c.decodedSize) +
         " bytes from " + std::to_string(c.compressedSize) + ", confidence " + std::to_string(c.confidence);
}

// Each kind of filler, a MiB of it with five blocks: every block is found, and at most
// one false candidate a MiB of filler comes up at the default threshold (the benchmark
// counts them).
TEST(BlockScan, FindsEveryBlockAmongEachKindOfFiller) {
  constexpr std::size_t kSize = 1 << 20;
  for (const Filler filler : testing::kFillers) {
    if (filler == Filler::Blocks) continue;  // its blocks are real ones
    std::vector<testing::PlacedBlock> placed;
    const auto rom = testing::RomWithBlocks(filler, kSize, 42, placed);
    const auto found = ScanRom(rom, {});
    ASSERT_TRUE(found);
    std::size_t blockBytes = 0;
    for (const auto& block : placed) {
      blockBytes += block.compressedSize;
      const auto hit = std::find_if(found->begin(), found->end(), [&](const auto& c) { return c.offset == block.offset; });
      ASSERT_NE(hit, found->end()) << testing::FillerName(filler) << ": no candidate at " << HexOffset(block.offset);
      EXPECT_EQ(hit->format, block.format);
      EXPECT_EQ(hit->decodedSize, block.decodedSize);
      EXPECT_EQ(hit->compressedSize, block.compressedSize);
    }
    std::vector<ScanCandidate> falseOnes;
    for (const auto& c : *found) {
      const bool real = std::any_of(placed.begin(), placed.end(), [&](const auto& b) { return b.offset == c.offset; });
      if (!real && c.confidence >= 0.5) falseOnes.push_back(c);
    }
    std::string described;
    for (const auto& c : falseOnes) described += "\n  " + Describe(c);
    const double fillerMiB = static_cast<double>(kSize - blockBytes) / (1 << 20);
    EXPECT_LE(static_cast<double>(falseOnes.size()), fillerMiB) << testing::FillerName(filler) << described;
  }
}

// A ROM laid out as games are, with a thousand blocks of every kind of data among code,
// tiles, mappings and padding: at the default threshold every block is kept, and fewer
// than one false candidate a MiB comes up (the benchmark measures more layouts).
TEST(BlockScan, KeepsEveryBlockOfAGameLikeRomAtTheDefaultThreshold) {
  std::vector<testing::PlacedBlock> placed;
  const auto rom = testing::RealisticRom(4 << 20, 1, placed);  // its layout follows what the compressors make
  const auto found = ScanRom(rom, {});
  ASSERT_TRUE(found);
  std::map<std::uint64_t, ScanCandidate> kept;
  for (const auto& c : *found)
    if (c.confidence >= 0.5) kept.emplace(c.offset, c);
  for (const auto& block : placed) {
    const auto hit = kept.find(block.offset);
    ASSERT_NE(hit, kept.end()) << "no candidate at " << HexOffset(block.offset);
    EXPECT_EQ(hit->second.compressedSize, block.compressedSize);
    kept.erase(hit);
  }
  std::string described;
  for (const auto& [offset, c] : kept) described += "\n  " + Describe(c);
  EXPECT_LE(kept.size(), 4u) << described;
}

TEST(BlockScan, ScansOneFormatWhenAsked) {
  std::vector<testing::PlacedBlock> placed;
  const auto rom = testing::RomWithBlocks(Filler::Zeros, 1 << 18, 7, placed);
  for (const auto& info : Formats()) {
    const auto found = ScanRom(rom, {FormatSet{info.format}, 1});
    ASSERT_TRUE(found);
    for (const auto& c : *found) EXPECT_EQ(c.format, info.format);
    for (const auto& block : placed) {
      if (block.format != info.format) continue;
      EXPECT_TRUE(std::any_of(found->begin(), found->end(), [&](const auto& c) { return c.offset == block.offset; }))
          << info.name << " at " << HexOffset(block.offset);
    }
  }
}

// The games' own output is a block beyond doubt, even where it takes more than it
// decodes to; the same stream without the games' zero padding after it is no block.
TEST(BlockScan, TheGamesOwnOutputIsABlockBeyondDoubt) {
  const Bytes noise = testing::Filled(Filler::Random, 300, 5);
  for (const bool games : {true, false}) {
    Bytes rom(0x400, 0xFF);
    auto block = *CodecOf(Format::Kosinski).compressAccurate(noise, {});
    const auto stream = DecodeBlock(Format::Kosinski, block, 0)->compressedSize;
    ASSERT_GT(stream, noise.size());
    ASSERT_LT(stream, block.size());
    if (!games) block.resize(stream);  // the 0xFF after it is no padding of the games'
    rom.insert(rom.begin() + 0x200, block.begin(), block.end());
    const auto found = ScanRom(rom, {FormatSet{Format::Kosinski}, 1});
    ASSERT_TRUE(found);
    const auto hit = std::find_if(found->begin(), found->end(), [](const auto& c) { return c.offset == 0x200; });
    ASSERT_EQ(hit != found->end(), games);
    if (games) {
      EXPECT_TRUE(hit->gamesOwn);
      EXPECT_EQ(hit->confidence, 1.0);
      EXPECT_EQ(hit->decodedSize, noise.size());
    }
  }
}

TEST(BlockScan, ReportsProgressAndStopsWhenTold) {
  const auto rom = testing::Filled(Filler::Random, 1 << 20, 3);
  std::uint64_t lastDone = 0;
  bool sawTotal = false;
  const auto found = ScanRom(rom, {}, [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_GE(done, lastDone);
    EXPECT_EQ(total, rom.size());
    lastDone = done;
    sawTotal = sawTotal || done == total;
    return true;
  });
  ASSERT_TRUE(found);
  EXPECT_TRUE(sawTotal);
  EXPECT_FALSE(ScanRom(rom, {}, [](std::uint64_t, std::uint64_t) { return false; }));
}

TEST(BlockScan, AnEmptyRomHasNoBlocks) {
  const auto found = ScanRom({}, {});
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->empty());
}

}  // namespace
}  // namespace quarvel
