#include "formats/format_table.h"
#include "scan/block_scan.h"
#include "scan/saxman_scan.h"

#include <gtest/gtest.h>

#include <map>

#include "test_roms.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::Filler;

// A block that is listed, but under 0.5: one not the games' own output (`found` may be so
// by chance) of a format the games place at even offsets only, at an odd one, or a
// Kosinski or Enigma block of fewer than 128 bytes, as code holds many by chance.
bool ListedOnly(const testing::PlacedBlock& block, const ScanCandidate& found) {
  if (block.gamesOwn || found.gamesOwn || block.format == Format::Saxman) return false;
  const bool small = block.decodedSize < 128 && (block.format == Format::Kosinski || block.format == Format::Enigma);
  return block.offset % 2 != 0 || small;
}

std::string Describe(const ScanCandidate& c) {
  return HexOffset(c.offset) + " " + std::string(FormatName(c.format)) + " " + std::to_string(c.decodedSize) +
         " bytes from " + std::to_string(c.compressedSize) + ", confidence " + std::to_string(c.confidence);
}

// Each kind of filler, a MiB of it with blocks from both compressors: every block is
// found whole (a hack's at an odd offset listed under the threshold), and no false
// candidate comes up at the default threshold (the benchmark counts them over more
// seeds). The blocks of a filler of blocks are no false ones.
TEST(BlockScan, FindsEveryBlockAmongEachKindOfFiller) {
  for (const Filler filler : testing::kFillers) {
    std::vector<testing::PlacedBlock> placed, fillerBlocks;
    const auto rom = testing::RomWithBlocks(filler, 1 << 20, 42, placed, &fillerBlocks);
    const auto found = ScanRom(rom, {});
    ASSERT_TRUE(found);
    for (const auto& block : placed) {
      const auto hit = std::find_if(found->begin(), found->end(), [&](const auto& c) { return c.offset == block.offset; });
      ASSERT_NE(hit, found->end()) << testing::FillerName(filler) << ": no candidate at " << HexOffset(block.offset);
      EXPECT_EQ(hit->format, block.format);
      EXPECT_EQ(hit->decodedSize, block.decodedSize);
      EXPECT_EQ(hit->compressedSize, block.compressedSize);
      EXPECT_EQ(hit->confidence >= kLikelyBlock, !ListedOnly(block, *hit)) << testing::FillerName(filler) << ": " << Describe(*hit);
      EXPECT_EQ(hit->gamesOwn, block.gamesOwn) << testing::FillerName(filler) << ": " << Describe(*hit);
    }
    placed.insert(placed.end(), fillerBlocks.begin(), fillerBlocks.end());
    std::string falseOnes;
    for (const auto& c : *found) {
      const bool real = std::any_of(placed.begin(), placed.end(), [&](const auto& b) { return b.offset == c.offset; });
      if (!real && c.confidence >= kLikelyBlock) falseOnes += "\n  " + Describe(c);
    }
    EXPECT_EQ(falseOnes, "") << testing::FillerName(filler);
  }
}

// A ROM laid out as games are, with a thousand blocks of every kind of data among code,
// tiles, mappings and padding: at the default threshold every block is kept (but a
// hack's at an odd offset or a short one, listed under it), and hardly a false candidate
// comes up (the benchmark measures more layouts).
TEST(BlockScan, KeepsEveryBlockOfAGameLikeRomAtTheDefaultThreshold) {
  std::vector<testing::PlacedBlock> placed;
  const auto rom = testing::RealisticRom(4 << 20, 3, placed);  // its layout follows what the compressors make
  const auto found = ScanRom(rom, {});
  ASSERT_TRUE(found);
  std::map<std::uint64_t, ScanCandidate> kept;
  for (const auto& c : *found)
    if (c.confidence >= kLikelyBlock || std::any_of(placed.begin(), placed.end(), [&](const auto& b) {
          return b.offset == c.offset && ListedOnly(b, c);
        }))
      kept.emplace(c.offset, c);
  for (const auto& block : placed) {
    const auto hit = kept.find(block.offset);
    ASSERT_NE(hit, kept.end()) << "no candidate at " << HexOffset(block.offset);
    EXPECT_EQ(hit->second.confidence >= kLikelyBlock, !ListedOnly(block, hit->second)) << Describe(hit->second);
    EXPECT_EQ(hit->second.compressedSize, block.compressedSize);
    kept.erase(hit);
  }
  std::string described;
  for (const auto& [offset, c] : kept) described += "\n  " + Describe(c);
  EXPECT_LE(kept.size(), 1u) << described;
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

// Where the games never put a block, and what code holds many of by chance, a stream is
// listed under 0.5 unless it is the games' own output: a Kosinski, Nemesis, Enigma or
// Kosinski Moduled block at an odd offset (a song may be anywhere), a short Kosinski or
// Enigma block.
TEST(BlockScan, ListsUnderTheThresholdWhatTheGamesNeverPlace) {
  const std::string line = "ring spring ring monitor ring badnik ring loop ring zone ring act ring boss";
  const Bytes text(line.begin(), line.end());
  struct Row {
    const char* name;
    Format format;
    Bytes data;
    bool games;
    std::size_t offset;
    bool likely;
  } rows[] = {
      {"a hack's Kosinski block at an odd offset", Format::Kosinski, testing::TileArt(20, 1), false, 0x201, false},
      {"the games' own at an odd offset", Format::Kosinski, testing::TileArt(20, 1), true, 0x201, true},
      {"a hack's Nemesis block at an odd offset", Format::Nemesis, testing::TileArt(20, 1), false, 0x201, false},
      {"the same at an even offset", Format::Nemesis, testing::TileArt(20, 1), false, 0x200, true},
      {"a hack's song at an odd offset", Format::Saxman, testing::Song(800, 1), false, 0x201, true},
      {"a hack's Kosinski block of 75 bytes", Format::Kosinski, text, false, 0x200, false},
      {"the games' own of 75 bytes", Format::Kosinski, text, true, 0x200, true},
      {"a hack's map of 40 words", Format::Enigma, testing::PlaneMap(8, 5, 1), false, 0x200, false},
      {"a hack's map of 240 words", Format::Enigma, testing::PlaneMap(20, 12, 1), false, 0x200, true},
  };
  for (const auto& row : rows) {
    Bytes rom(0x800, 0xFF);
    const auto block = testing::Packed(row.format, row.data, row.games);
    std::copy(block.begin(), block.end(), rom.begin() + static_cast<std::ptrdiff_t>(row.offset));
    const auto found = ScanRom(rom, {FormatSet{row.format}, 1});
    ASSERT_TRUE(found);
    const auto hit = std::find_if(found->begin(), found->end(), [&](const auto& c) { return c.offset == row.offset; });
    ASSERT_NE(hit, found->end()) << row.name;
    EXPECT_EQ(hit->confidence >= kLikelyBlock, row.likely) << row.name << ": " << Describe(*hit);
  }
  // Two bytes that make a count before padding (literals of one value), or before bytes
  // that do not repeat (literals alone, what the games' compressor writes for them too):
  // no song, though any count "decodes".
  const Bytes noise = testing::Filled(Filler::Random, 300, 3);
  for (const auto& [name, block] : {std::pair{"a count before padding", testing::Hex("40 01")},
                                    std::pair{"literals alone", testing::Packed(Format::Saxman, noise, true)}}) {
    Bytes rom(0x800, 0xFF);
    std::copy(block.begin(), block.end(), rom.begin() + 0x100);
    const auto found = ScanRom(rom, {FormatSet{Format::Saxman}, 1});
    ASSERT_TRUE(found);
    for (const auto& c : *found) EXPECT_LT(c.confidence, kLikelyBlock) << name << ": " << Describe(c);
  }
  // Nor are a few copies among literals evidence that the games' compressor wrote them.
  Bytes fewCopies = noise;
  for (int copy = 0; copy < 3; ++copy) fewCopies.insert(fewCopies.end(), noise.begin() + 40 * copy, noise.begin() + 40 * copy + 18);
  Bytes rom(0x800, 0xFF);
  const auto song = testing::Packed(Format::Saxman, fewCopies, true);
  std::copy(song.begin(), song.end(), rom.begin() + 0x100);
  const auto found = ScanRom(rom, {FormatSet{Format::Saxman}, 1});
  ASSERT_TRUE(found && !found->empty());
  EXPECT_FALSE(found->front().gamesOwn) << Describe(found->front());
  // Four equal literals in a row are odd (a literal and a copy would do), three are not.
  EXPECT_EQ(ProbeSaxman(testing::Hex("09 00 FF 41 41 41 41 42 43 44 45"), 0, 0, 2)->oddities, 1u);
  EXPECT_EQ(ProbeSaxman(testing::Hex("09 00 FF 41 41 41 42 43 44 45 46"), 0, 0, 2)->oddities, 0u);
}

// A block followed by padding, and a short stream that starts in its last bytes and runs
// into the padding, surer than the block: the block is kept and the stream dropped, unless
// the stream is the games' own output and the block is not. Never both.
TEST(BlockScan, AStreamStartingInsideABlockDoesNotDisplaceIt) {
  struct Row {
    const char* name;
    bool blockGamesOwn, streamGamesOwn;
    std::uint64_t kept;
  } rows[] = {
      {"neither the games' own", false, false, 0x1000},
      {"the stream the games' own", false, true, 0x1000 + 10840 - 5},
      {"both the games' own", true, true, 0x1000},
  };
  const Bytes rom = testing::Filled(Filler::Random, 0x4000, 1);
  for (const auto& row : rows) {
    const ScanHit block{4096, 10840, row.blockGamesOwn ? 1.0 : 0.5, 0, row.blockGamesOwn};
    const ScanHit stream{64, 37, row.streamGamesOwn ? 1.0 : 0.73, 27, row.streamGamesOwn};
    const std::vector<FormatWeigher> weighers = {
        {Format::Kosinski, [&](std::size_t at) { return at == 0x1000 ? std::optional(block) : std::nullopt; }},
        {Format::Enigma, [&](std::size_t at) { return at == 0x1000 + 10840 - 5 ? std::optional(stream) : std::nullopt; }},
    };
    const auto found = ScanWithWeighers(rom, weighers, 2);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u) << row.name;
    EXPECT_EQ(found->front().offset, row.kept) << row.name;
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
