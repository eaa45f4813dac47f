#include "formats/format_table.h"
#include "rom/rom_image.h"

#include <gtest/gtest.h>

#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "scan/test_roms.h"
#include "support/bytes.h"
#include "support/seed.h"

namespace quarvel {
namespace {

using testing::Bytes;

// From 0x200 to the ROM end the header states (at 0x1A4) when the image holds that byte,
// else to the image's end.
TEST(RomImage, ChecksumSumsTheWordsFrom0x200ToTheRomEnd) {
  Bytes rom(0x205, 0xAA);  // the header's bytes do not count
  rom[0x200] = 0x12, rom[0x201] = 0x34, rom[0x202] = 0xFF, rom[0x203] = 0xFF, rom[0x204] = 0x80;
  const std::pair<std::uint32_t, std::uint16_t> rows[] = {
      {0xAAAAAAAA, 0x9233},  // past the image: to its end, wrapping at 16 bits, an odd last byte a word's high byte
      {0x204, 0x9233},       // the image's last byte
      {0x205, 0x9233},       // one past it
      {0x201, 0x1234},       // short of the image's end
      {0x202, 0x1134},       // short of it, at an even byte: a word's high byte
      {0x1FF, 0},            // before 0x200: nothing summed
  };
  for (const auto& [end, sum] : rows) {
    for (unsigned i = 0; i < 4; ++i) rom[kRomEndAt + i] = static_cast<std::uint8_t>(end >> (24 - 8 * i));
    EXPECT_EQ(ComputeChecksum(rom), sum) << std::hex << end;
    ASSERT_TRUE(FixChecksum(rom));
    EXPECT_EQ(StoredChecksum(rom), sum) << std::hex << end;
  }
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

// Every byte of `changed` but those of [offset, offset + room) and the checksum is the
// byte of `rom`.
::testing::AssertionResult OnlyTheRoomAndChecksumChanged(const Bytes& rom, const Bytes& changed, std::uint64_t offset,
                                                          std::uint64_t room) {
  if (changed.size() != rom.size()) return ::testing::AssertionFailure() << "the size changed";
  for (std::size_t at = 0; at < rom.size(); ++at) {
    const bool mayChange = (at >= offset && at < offset + room) || at == kChecksumAt || at == kChecksumAt + 1;
    if (!mayChange && changed[at] != rom[at]) return ::testing::AssertionFailure() << "byte " << at << " changed";
  }
  return ::testing::AssertionSuccess();
}

struct ReplaceCase {
  const char* name;
  std::int64_t offset;
  Format format;
  BlockChange how;   // its format and offset are the row's
  Bytes data;
  std::optional<ChangeFailure::Kind> failure;
  const char* messagePart;
};

// A ROM of 0xFF with a Kosinski block of 300 bytes at 0x400, one of 3 bytes at 0x300 (a
// stream the scan takes for no block), one that stops at a copy from before its start
// at 0x340, one of 3 bytes in the header at 0x1F8, and a Nemesis block of 2 tiles at 0x600;
// its header's ROM end is 0x5FF, short of the image's.
TEST(RomImage, ReplacesOnlyABlockThatIsThereAndChecksTheResult) {
  Bytes text, noise;
  for (unsigned i = 0; i < 300; ++i) text.push_back(static_cast<std::uint8_t>(i * 7 % 251));
  for (unsigned i = 0; i < 1000; ++i) noise.push_back(static_cast<std::uint8_t>(i * i * 31 >> 3));
  const Bytes other(100, 'b'), abc = testing::Hex("17 00 61 62 63 00 F0 00"), stops = testing::Hex("41 00 61 FE 00 F0 00");
  Bytes rom(0x800, 0xFF);
  const auto old = *CompressKosinski(text);
  const Bytes twoTiles(noise.begin(), noise.begin() + 64), threeTiles(96, 0x34);
  for (const auto& [at, block] : {std::pair{0x400, old}, {0x300, abc}, {0x340, stops}, {0x1F8, abc}, {0x600, *CompressNemesis(twoTiles)}})
    std::copy(block.begin(), block.end(), rom.begin() + at);
  rom[kRomEndAt + 2] = 0x05;
  using Kind = ChangeFailure::Kind;
  const BlockChange plain, raw{.raw = true}, listed{.listed = true}, forced{.force = true};
  const ReplaceCase cases[] = {
      {"a block the scan takes", 0x400, Format::Kosinski, plain, other, {}, ""},
      {"a raw block", 0x400, Format::Kosinski, raw, *CompressKosinski(other), {}, ""},
      {"raw data that is no block", 0x400, Format::Kosinski, raw, other, Kind::BadData, "the data is no Kosinski block"},
      {"raw data that stops early", 0x400, Format::Kosinski, raw, stops, Kind::BadData, "copies from before its start"},
      {"another format", 0x400, Format::Nemesis, plain, other, Kind::NoOldBlock, "the ROM holds no Nemesis block"},
      {"too large", 0x400, Format::Kosinski, plain, noise, Kind::DoesNotFit, "it does not fit"},
      {"too large, appended", 0x400, Format::Kosinski, {.placing = {.append = true}}, noise, {}, ""},
      {"a stream nothing vouches for", 0x300, Format::Kosinski, plain, Bytes{'x'}, Kind::NotABlock,
       "nothing says that a Kosinski block starts there: no catalogue lists one, and the scan takes it for no block"},
      {"a stream a catalogue lists", 0x300, Format::Kosinski, listed, Bytes{'x'}, {}, ""},
      {"a stream forced", 0x300, Format::Kosinski, forced, Bytes{'x'}, {}, ""},
      {"a stream that stops early, forced", 0x340, Format::Kosinski, forced, Bytes{'x'}, Kind::NoOldBlock,
       "copies from before its start"},
      {"the header, forced", 0x1F8, Format::Kosinski, forced, Bytes{'x'}, Kind::InHeader, "reaches into the header"},
      {"art of another tile count", 0x600, Format::Nemesis, listed, threeTiles, Kind::TileCountChanged,
       "the old block holds 2 tiles and the new data 3"},
      {"art of another tile count, resized", 0x600, Format::Nemesis, {.listed = true, .resize = true}, threeTiles, {}, ""},
      {"art of the same tile count", 0x600, Format::Nemesis, listed, Bytes(64, 0x56), {}, ""},
      {"data from a picture of another tile count", 0x400, Format::Kosinski, {.fromPicture = true}, other,
       Kind::TileCountChanged, "the old block holds 10 tiles and the new data 4"},
  };
  for (const auto& c : cases) {
    BlockChange how = c.how;
    how.format = c.format, how.offset = c.offset;
    Bytes changed = rom;
    const auto replaced = ReplaceBlock(changed, c.data, how);
    ASSERT_EQ(replaced.has_value(), !c.failure) << c.name << ": " << (replaced ? "" : replaced.error().message);
    if (c.failure) {
      EXPECT_EQ(replaced.error().kind, *c.failure) << c.name;
      EXPECT_NE(replaced.error().message.find(c.messagePart), std::string::npos) << c.name << ": " << replaced.error().message;
      EXPECT_EQ(changed, rom) << c.name;
      continue;
    }
    const Bytes expected = c.how.raw ? DecodeBlock(c.format, c.data, 0)->bytes : c.data;
    EXPECT_EQ(DecodeBlock(c.format, changed, static_cast<std::int64_t>(replaced->where.offset))->bytes, expected) << c.name;
    EXPECT_EQ(replaced->oldDecodedSize, DecodeBlock(c.format, rom, c.offset)->bytes.size()) << c.name;
    EXPECT_EQ(replaced->newDecodedSize, expected.size()) << c.name;
    EXPECT_EQ(StoredChecksum(changed), ComputeChecksum(changed)) << c.name;
    if (replaced->where.appended) {  // the checksum covers the new end, not the old 0x5FF
      EXPECT_EQ(ChecksumEnd(changed), changed.size()) << c.name;
      continue;
    }
    EXPECT_TRUE(OnlyTheRoomAndChecksumChanged(rom, changed, static_cast<std::uint64_t>(c.offset), replaced->oldSize)) << c.name;
  }
}

// Whatever offset is asked, of a ROM laid out as a game's: the insert refuses, or gives
// an image in which only the old block's room and the checksum changed and the new block
// decodes to the data.
TEST(RomImage, InsertsAtAnyOffsetOnlyWhatItCanProve) {
  const unsigned seed = testing::TestSeed(22);
  SCOPED_TRACE(testing::SeedTrace(seed));
  std::vector<testing::PlacedBlock> placed;
  const Bytes rom = testing::RealisticRom(512 * 1024, seed, placed);
  std::mt19937 random(seed);
  unsigned done = 0;
  for (int run = 0; run < 200; ++run) {
    const Format format = Formats()[random() % Formats().size()].format;
    const Bytes data = format == Format::Enigma ? testing::PlaneMap(4, 2, random()) : testing::TileArt(1 + random() % 3, random());
    BlockChange how{.format = format, .offset = static_cast<std::int64_t>(random() % (rom.size() / 2) * 2), .force = run % 2 == 1};
    Bytes changed = rom;
    const auto replaced = ReplaceBlock(changed, data, how);
    if (!replaced) {
      EXPECT_EQ(changed, rom);
      continue;
    }
    ++done;
    ASSERT_FALSE(replaced->where.appended);
    EXPECT_TRUE(OnlyTheRoomAndChecksumChanged(rom, changed, static_cast<std::uint64_t>(how.offset), replaced->oldSize))
        << FormatName(format) << " at " << how.offset;
    EXPECT_EQ(DecodeBlock(format, changed, how.offset)->bytes, data) << FormatName(format) << " at " << how.offset;
  }
  EXPECT_GT(done, 0u);
}

}  // namespace
}  // namespace quarvel
