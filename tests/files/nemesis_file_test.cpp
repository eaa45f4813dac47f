#include <gtest/gtest.h>

#include "decoders/nemesis.h"
#include "files/extraction.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Concat;
using testing::Hex;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// "0 -> eight 1s": one bit a row.
Bytes OnesBlock(unsigned tiles) {
  const Bytes header{static_cast<std::uint8_t>(tiles >> 8), static_cast<std::uint8_t>(tiles)};
  return Concat(Concat(header, Hex("81 71 00  FF")), Bytes(tiles, 0x00));
}

class NemesisFile : public ::testing::Test {
 protected:
  TempDir dir_;
  fs::path rom_ = dir_ / "rom.bin";
  fs::path out_ = dir_ / "out.dat";
};

TEST_F(NemesisFile, WritesTheRowsOfTheLastBlockOfAFile) {
  WriteFile(rom_, Concat(Hex("EE EE"), OnesBlock(3)));
  WriteFile(out_, Bytes(500, 0xAA));  // longer than the result: nothing of it stays
  const auto result = NemesisDecompress(rom_, out_, 2);
  ASSERT_TRUE(result) << result.error().message;
  EXPECT_EQ(ReadFile(out_), Bytes(96, 0x11));
  EXPECT_EQ(result->compressedSize, 9u);
}

TEST_F(NemesisFile, ZeroTilesLeaveAnEmptyDestination) {
  WriteFile(rom_, Hex("00 00 FF"));
  WriteFile(out_, Hex("AA BB"));
  ASSERT_TRUE(NemesisDecompress(rom_, out_, 0));
  EXPECT_TRUE(fs::exists(out_));
  EXPECT_EQ(fs::file_size(out_), 0u);
}

TEST_F(NemesisFile, The8192TileLimit) {
  WriteFile(rom_, OnesBlock(8192));
  ASSERT_TRUE(NemesisDecompress(rom_, out_, 0));
  EXPECT_EQ(fs::file_size(out_), 262144u);

  WriteFile(rom_, OnesBlock(8193));
  WriteFile(out_, Hex("AA BB"));
  const auto result = NemesisDecompress(rom_, out_, 0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind, DecodeErrorKind::TooManyTiles);
  EXPECT_EQ(ReadFile(out_), Hex("AA BB"));
}

TEST_F(NemesisFile, ADecodeAfterAFailedOneWorks) {
  WriteFile(rom_, Hex("00 02  81 71 00  FF  00"));  // two tiles, bits for one
  ASSERT_FALSE(NemesisDecompress(rom_, out_, 0));
  WriteFile(rom_, OnesBlock(1));
  ASSERT_TRUE(NemesisDecompress(rom_, out_, 0));
  EXPECT_EQ(ReadFile(out_), Bytes(32, 0x11));
}

}  // namespace
}  // namespace quarvel
