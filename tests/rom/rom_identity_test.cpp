#include "rom/rom_identity.h"
#include "rom/rom_layout.h"
#include "common/md5.h"

#include <gtest/gtest.h>

#include "support/rom_header.h"

namespace quarvel {
namespace {

using testing::Bytes;

// One block of 16 KiB: its even bytes count up from 0x00, its odd bytes from 0x80 (but
// for "SEGA" at 0x100), written out as a dump holds it, odd bytes first.
TEST(RomLayout, ADumpHoldsEachBlocksOddBytesThenItsEvenBytes) {
  Bytes plain(16384), file(512, 0);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>((i % 2 ? 0x80 : 0) | (i / 2 & 0x7F));
  std::memcpy(plain.data() + 0x100, "SEGA", 4);
  file[0] = 1, file[8] = 0xAA, file[9] = 0xBB;
  for (std::size_t i = 0; i < 8192; ++i) file.push_back(static_cast<std::uint8_t>(0x80 | (i & 0x7F)));
  for (std::size_t i = 0; i < 8192; ++i) file.push_back(static_cast<std::uint8_t>(i & 0x7F));
  file[512 + 0x80] = 'E', file[512 + 0x81] = 'A', file[512 + 8192 + 0x80] = 'S', file[512 + 8192 + 0x81] = 'G';
  EXPECT_EQ(file, testing::Interleaved(plain));
  EXPECT_EQ(DetectLayout(file), RomLayout::Interleaved);
  EXPECT_EQ(Deinterleave(file), plain);
  EXPECT_EQ(ToPlainImage(file).bytes, plain);

  EXPECT_EQ(DetectLayout(plain), RomLayout::Plain);
  Bytes plainWithMarks = testing::Concat(Bytes(512, 0), plain);  // AA BB and a size that fits, but SEGA as it is
  plainWithMarks[8] = 0xAA, plainWithMarks[9] = 0xBB;
  std::memcpy(plainWithMarks.data() + 0x100, "SEGA", 4);
  EXPECT_EQ(DetectLayout(plainWithMarks), RomLayout::LooksInterleaved);
  EXPECT_EQ(ToPlainImage(plainWithMarks).bytes, plainWithMarks);
  file.pop_back();  // no longer 512 + a multiple of 16 KiB
  EXPECT_EQ(DetectLayout(file), RomLayout::Plain);
}

// Then by blocks: a changed image holds ten blocks, of which one catalogue lists all and
// another the first five.
TEST(RomIdentity, TellsTheRomBySizeAndMd5ThenBySerialSizeAndChecksumThenByItsBlocks) {
  const Bytes image = testing::WithHeader(0x20000, "GM 00009999-01", 0x1234);
  const std::string md5 = Md5Text(image);
  std::vector<KnownBlock> blocks;
  for (std::uint32_t i = 0; i < 10; ++i) blocks.push_back({0x1000 + 0x100 * i, Formats()[i % 4].format});
  const KnownRom known[] = {
      {"Sonic1", "GM 00009999-01", 0x20000, "0123456789abcdef0123456789abcdef", 0x1234},
      {"Sonic1J", "GM 00009999-01", 0x20000, md5, 0x9999},
      {"Sonic2", "GM 00009999-02", 0x20000, "0123456789abcdef0123456789abcdef", 0},
      {"Sonic3", "GM 00009999-01", 0x40000, "0123456789abcdef0123456789abcdef", 0x1234},
      {"SonicK", "GM 00008888-00", 0x40000, "0123456789abcdef0123456789abcdef", 0x1234, std::span(blocks).first(5)},
      {"Sonic3K", "GM 00008888-00", 0x40000, "0123456789abcdef0123456789abcdef", 0x1234, blocks},
  };
  const auto changed = [&](std::initializer_list<std::size_t> missing) {
    Bytes rom = testing::WithHeader(0x20000, "GM 00007777-00", 0);
    for (std::size_t i = 0; i < blocks.size(); ++i)
      if (std::find(missing.begin(), missing.end(), i) == missing.end()) testing::PlaceBlocks(rom, std::span(blocks).subspan(i, 1));
    return rom;
  };
  struct Row {
    const char* name;
    Bytes image;
    RomIdentity::How how;
    const char* rom;
    std::size_t inPlace = 0;
  } rows[] = {
      {"size and MD5", image, RomIdentity::How::Exactly, "Sonic1J"},
      {"serial, size and checksum", testing::WithHeader(0x20000, "GM 00009999-01", 0x1234), RomIdentity::How::Probably, "Sonic1"},
      {"another serial of that size", testing::WithHeader(0x20000, "GM 00009999-02", 0), RomIdentity::How::Probably, "Sonic2"},
      {"the same header, another size", testing::WithHeader(0x40000, "GM 00009999-01", 0x1234), RomIdentity::How::Probably, "Sonic3"},
      {"another checksum", testing::WithHeader(0x20000, "GM 00009999-01", 0x1235), RomIdentity::How::Unknown, ""},
      {"another size", testing::WithHeader(0x30000, "GM 00009999-02", 0), RomIdentity::How::Unknown, ""},
      {"no header", Bytes(0x1FF, 0), RomIdentity::How::Unknown, ""},
      {"changed, every block in place", changed({}), RomIdentity::How::Changed, "Sonic3K", 10},
      {"changed, 9 of 10 blocks in place: the most blocks", changed({3}), RomIdentity::How::Changed, "Sonic3K", 9},
      {"changed, 8 of 10 and 5 of 5", changed({7, 9}), RomIdentity::How::Changed, "SonicK", 5},
      {"changed, 8 of 10 and 4 of 5", changed({0, 9}), RomIdentity::How::Unknown, ""},
  };
  rows[1].image.back() ^= 1;  // not the image whose MD5 is known
  for (const auto& row : rows) {
    if (md5.empty() && row.how == RomIdentity::How::Exactly) continue;  // a build without MD5
    const auto identity = IdentifyRom(row.image, known);
    EXPECT_EQ(identity.how, row.how) << row.name;
    EXPECT_EQ(identity.rom ? identity.rom->baseName : "", row.rom) << row.name;
    EXPECT_EQ(identity.blocksInPlace, row.inPlace) << row.name;
  }
}

TEST(RomIdentity, ReadsTheHeader) {
  Bytes image = testing::WithHeader(0x20000, "GM 00001009-00", 0x264A);
  std::memcpy(image.data() + 0x1A4, "\x00\x07\xFF\xFF", 4);
  std::memcpy(image.data() + 0x1F0, "JUE", 3);
  const auto header = ReadRomHeader(image);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->console, "SEGA MEGA DRIVE");
  EXPECT_EQ(header->domesticTitle.substr(0, 10), "TEST IMAGE");
  EXPECT_EQ(header->serial, "GM 00001009-00");
  EXPECT_EQ(header->revision, "00");
  EXPECT_EQ(header->storedChecksum, 0x264A);
  EXPECT_EQ(header->romEnd, 0x7FFFFu);
  EXPECT_EQ(header->region, "JUE");
}

}  // namespace
}  // namespace quarvel
