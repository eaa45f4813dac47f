#include "scan/start_filters.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/format_table.h"
#include "test_roms.h"

namespace quarvel {
namespace {

// Whether 32 bytes of one value start at `offset`: the scan weighs no such offset.
bool InRun(const testing::Bytes& rom, std::size_t offset) {
  return rom.size() - offset >= 32 &&
         std::all_of(&rom[offset], &rom[offset] + 32, [&](std::uint8_t b) { return b == rom[offset]; });
}

// Over a game-like image, a stretch of each filler and songs that start with zeros, the
// start filter leaves each format set at every offset where its weigher finds a block.
TEST(FormatStarts, ClearNoFormatWhereItsWeigherFindsABlock) {
  std::vector<testing::PlacedBlock> placed;
  testing::Bytes rom = testing::RealisticRom(1 << 19, 2, placed);
  for (const auto filler : testing::kFillers) {
    const auto part = testing::Filled(filler, filler == testing::Filler::Blocks ? 96 << 10 : 16 << 10, 9);
    rom.insert(rom.end(), part.begin(), part.end());
    rom.push_back(0x3F);  // so that each stretch starts at an even and an odd offset in turn
  }
  // Songs that start with zeros, copied from before their start: found, as any other.
  testing::Bytes song = testing::Song(600, 4);
  song.insert(song.begin(), 20, 0);
  std::vector<std::size_t> songs;
  for (const bool gamesOwn : {true, false}) {
    const auto packed = testing::Packed(Format::Saxman, song, gamesOwn);
    songs.push_back(rom.size());
    rom.insert(rom.end(), packed.begin(), packed.end());
  }
  for (const auto at : songs) EXPECT_TRUE(CodecOf(Format::Saxman).scanner(rom)(at)) << HexOffset(at);
  std::vector<std::uint8_t> may(rom.size());
  FormatStarts(rom, 0, rom.size(), may.data());
  for (const auto& info : Formats()) {
    const auto weigh = CodecOf(info.format).scanner(rom);
    std::size_t blocks = 0;
    for (std::size_t offset = rom.size(); offset-- > 0;) {  // from the end down, as a scan asks
      if (InRun(rom, offset) || !weigh(offset)) continue;
      ++blocks;
      EXPECT_TRUE(may[offset] >> static_cast<unsigned>(info.format) & 1u) << info.name << " at " << HexOffset(offset);
    }
    EXPECT_GT(blocks, 10u) << info.name;
  }
}

}  // namespace
}  // namespace quarvel
