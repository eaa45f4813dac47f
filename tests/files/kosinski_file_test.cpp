#include <gtest/gtest.h>

#include <filesystem>

#include "decoders/kosinski.h"
#include "files/extraction.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Hex;
using testing::ReadFile;
using testing::TempDir;
using testing::ToHex;
using testing::WriteFile;

const Bytes kFiller = Hex("EE EE EE EE");
const Bytes kThreeBytes = Hex("17 00  61 62 63  00 F0 00");               // 61 62 63
const Bytes kEightBytes = Hex("2B 00  41 42  FE F8 05  00 00 00");        // 41 42 x4
const Bytes kStopsEarly = Hex("41 00  61  FE  00 F0 00");                  // 61, then a copy from before the start
const Bytes kRom = testing::Concat(testing::Concat(kFiller, kThreeBytes), kEightBytes);  // blocks at 4 and 12

class KosinskiFile : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(rom_, kRom); }
  TempDir dir_;
  fs::path rom_ = dir_ / "rom.bin";
  fs::path out_ = dir_ / "out.dat";
};

TEST_F(KosinskiFile, WritesExactlyTheDecodedBytes) {
  const auto result = KosinskiDecompress(rom_, out_, 4);
  ASSERT_TRUE(result) << result.error().message;
  EXPECT_EQ(ToHex(ReadFile(out_)), "61 62 63");
  EXPECT_EQ(result->decodedSize, 3u);
  EXPECT_EQ(result->compressedSize, 8u);
  EXPECT_EQ(ReadFile(rom_), kRom);
}

TEST_F(KosinskiFile, ALongerOlderDestinationKeepsNoStaleBytes) {
  ASSERT_TRUE(KosinskiDecompress(rom_, out_, 12));
  EXPECT_EQ(ToHex(ReadFile(out_)), "41 42 41 42 41 42 41 42");
  ASSERT_TRUE(KosinskiDecompress(rom_, out_, 4));
  EXPECT_EQ(ToHex(ReadFile(out_)), "61 62 63");
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"out.dat", "rom.bin"}));
}

TEST_F(KosinskiFile, ACopyBeforeTheStartFailsAndWritesNothing) {
  WriteFile(rom_, kStopsEarly);
  const auto result = KosinskiDecompress(rom_, out_, 0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind, DecodeErrorKind::CopyBeforeStart);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"rom.bin"}));
}

TEST_F(KosinskiFile, TheSourceIsNeverTheDestination) {
  fs::create_directory(dir_ / "sub");
  fs::create_hard_link(rom_, dir_ / "hard.bin");
  fs::create_symlink(rom_, dir_ / "link.bin");
  for (const fs::path& destination :
       {rom_, dir_ / "sub" / ".." / "rom.bin", dir_ / "." / "rom.bin", dir_ / "hard.bin", dir_ / "link.bin"}) {
    const auto result = KosinskiDecompress(rom_, destination, 4);
    ASSERT_FALSE(result) << destination;
    EXPECT_EQ(result.error().kind, DecodeErrorKind::SourceIsDestination) << destination;
    EXPECT_EQ(ReadFile(rom_), kRom) << destination;
  }
}

TEST_F(KosinskiFile, PathsWithAccentsAndBlanksWork) {
  const fs::path folder = dir_ / fs::path(u8"Jogos à mão");
  fs::create_directory(folder);
  const fs::path source = folder / fs::path(u8"Sonic ção 1 (W).bin");
  const fs::path destination = folder / fs::path(u8"saída ü €.dat");
  WriteFile(source, kRom);
  ASSERT_TRUE(KosinskiDecompress(source, destination, 12));
  EXPECT_EQ(ToHex(ReadFile(destination)), "41 42 41 42 41 42 41 42");
}

// A block near the 2 GiB end of the offset range, in a sparse file: found by
// position, not by reading what lies before it.
// A ROM image of up to 64 MiB is read only as far as its block goes; a larger file is
// no ROM image, and is refused by its size, unread.
TEST_F(KosinskiFile, ReadsOnlyTheBlockOfTheLargestRomAndNothingOfALargerFile) {
  for (const std::int64_t size : {std::int64_t{64} << 20, std::int64_t{0x80000000}}) {
    const auto offset = static_cast<std::int32_t>(size - 8);
    {
      std::ofstream file(rom_, std::ios::binary | std::ios::trunc);
      file.seekp(offset);
      file.write(reinterpret_cast<const char*>(kThreeBytes.data()), static_cast<std::streamsize>(kThreeBytes.size()));
    }
    const auto result = KosinskiDecompress(rom_, out_, offset);
    if (size == std::int64_t{64} << 20) {
      ASSERT_TRUE(result) << result.error().message;
      EXPECT_EQ(ToHex(ReadFile(out_)), "61 62 63");
    } else {
      ASSERT_FALSE(result);
      EXPECT_NE(result.error().message.find("rom.bin' is larger than 64 MiB"), std::string::npos) << result.error().message;
    }
  }
}

}  // namespace
}  // namespace quarvel
