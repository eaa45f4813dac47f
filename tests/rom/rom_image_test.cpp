#include "rom/rom_image.h"

#include <gtest/gtest.h>

#include "encoders/kosinski_compressor.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

TEST(RomImage, ChecksumSumsTheWordsFrom0x200) {
  Bytes rom(0x204, 0xAA);  // the header's bytes do not count
  rom[0x200] = 0x12, rom[0x201] = 0x34, rom[0x202] = 0xFF, rom[0x203] = 0xFF;
  EXPECT_EQ(ComputeChecksum(rom), 0x1233);  // wraps at 16 bits
  rom.push_back(0x80);                       // an odd last byte is a word's high byte
  EXPECT_EQ(ComputeChecksum(rom), 0x9233);
  EXPECT_EQ(StoredChecksum(rom), 0xAAAA);
  ASSERT_TRUE(FixChecksum(rom));
  EXPECT_EQ(StoredChecksum(rom), 0x9233);
  EXPECT_EQ(ComputeChecksum(Bytes(0x100, 1)), 0);
  EXPECT_FALSE(StoredChecksum(Bytes(0x18F, 0)));
}

struct PlaceCase {
  const char* name;
  std::size_t romSize, room, block;
  InsertOptions options;
  bool placed;
  std::uint64_t offset, size;  // where the block goes, and the ROM's size after
};

TEST(RomImage, ABlockGoesInPlaceAtTheEndOrNowhere) {
  constexpr std::uint64_t kAt = 0x300;
  const PlaceCase cases[] = {
      {"fits exactly", 0x401, 8, 8, {}, true, kAt, 0x401},
      {"fits with room", 0x401, 8, 5, {.fill = 0x00}, true, kAt, 0x401},
      {"too large", 0x401, 4, 6, {}, false, 0, 0},
      {"appended at an even offset, the ROM grown to 128 KiB", 0x401, 4, 6, {.append = true}, true, 0x402, 0x20000},
      {"appended past 4 MiB, not allowed", kLargestCartridge - 2, 4, 6, {.append = true}, false, 0, 0},
      {"appended past 4 MiB, allowed", kLargestCartridge - 2, 4, 6, {.append = true, .allowLarge = true}, true, kLargestCartridge - 2,
       kLargestCartridge + kRomGrowth},
  };
  for (const auto& c : cases) {
    Bytes rom(c.romSize, 0x55);
    const Bytes before = rom, block(c.block, 0xB1);
    const auto placed = InsertBlock(rom, kAt, c.room, block, c.options);
    ASSERT_EQ(placed.has_value(), c.placed) << c.name;
    if (!placed) {
      EXPECT_EQ(rom, before) << c.name;
      EXPECT_NE(placed.error().find(std::to_string(c.block) + " bytes"), std::string::npos) << c.name;
      continue;
    }
    EXPECT_EQ(placed->offset, c.offset) << c.name;
    ASSERT_EQ(rom.size(), c.size) << c.name;
    EXPECT_EQ(Bytes(rom.begin() + static_cast<std::ptrdiff_t>(c.offset),
                    rom.begin() + static_cast<std::ptrdiff_t>(c.offset + c.block)),
              block)
        << c.name;
    if (!placed->appended) {
      EXPECT_EQ(rom[kAt + c.room - 1], c.block == c.room ? 0xB1 : c.options.fill) << c.name;
      continue;
    }
    EXPECT_EQ(rom[kAt], 0x55) << c.name;  // the old block stays
    EXPECT_EQ(rom.back(), 0xFF) << c.name;
    const std::uint64_t end = std::uint64_t{rom[kRomEndAt]} << 24 | rom[kRomEndAt + 1] << 16 | rom[kRomEndAt + 2] << 8 |
                              rom[kRomEndAt + 3];
    EXPECT_EQ(end, c.size - 1) << c.name;
  }
}

TEST(RomImage, ReplacingABlockDecodesTheOldOneAndChecksARawOne) {
  Bytes text, noise;
  for (unsigned i = 0; i < 300; ++i) text.push_back(static_cast<std::uint8_t>(i * 7 % 251));
  for (unsigned i = 0; i < 1000; ++i) noise.push_back(static_cast<std::uint8_t>(i * i * 31 >> 3));
  const Bytes other(100, 'b');
  Bytes rom(0x800, 0xFF);
  const auto old = *CompressKosinski(text);
  std::copy(old.begin(), old.end(), rom.begin() + 0x400);
  const Bytes before = rom;

  auto changed = rom;
  const auto replaced = ReplaceBlock(changed, other, {.format = Format::Kosinski, .offset = 0x400});
  ASSERT_TRUE(replaced) << replaced.error().message;
  EXPECT_EQ(DecodeBlock(Format::Kosinski, changed, 0x400)->bytes, other);
  EXPECT_EQ(StoredChecksum(changed), ComputeChecksum(changed));

  auto raw = rom;
  EXPECT_TRUE(ReplaceBlock(raw, *CompressKosinski(other), {.format = Format::Kosinski, .offset = 0x400, .raw = true}));
  EXPECT_EQ(ReplaceBlock(raw, other, {.format = Format::Kosinski, .offset = 0x400, .raw = true}).error().kind, ChangeFailure::Kind::BadData);
  EXPECT_EQ(ReplaceBlock(rom, other, {.format = Format::Nemesis, .offset = 0x400}).error().kind, ChangeFailure::Kind::NoOldBlock);
  const auto tooLarge = ReplaceBlock(rom, noise, {.format = Format::Kosinski, .offset = 0x400});
  ASSERT_FALSE(tooLarge);
  EXPECT_EQ(tooLarge.error().kind, ChangeFailure::Kind::DoesNotFit);
  EXPECT_EQ(tooLarge.error().oldSize, old.size());
  EXPECT_EQ(rom, before);
}

}  // namespace
}  // namespace quarvel
