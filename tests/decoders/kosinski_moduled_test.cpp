#include "decoders/kosinski_moduled.h"

#include <gtest/gtest.h>

#include "encoders/kosinski_compressor.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

Bytes Data(std::size_t size, unsigned seed) {
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>((i * seed) >> 5 ^ i % 7);
  return data;
}

// S, then the modules of `pieces`, each padded with `padding(m)` zero bytes after it.
Bytes Block(std::size_t size, const std::vector<Bytes>& pieces, const std::function<std::size_t(std::size_t, std::size_t)>& padding) {
  Bytes block{static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
  for (std::size_t m = 0; m < pieces.size(); ++m) {
    const auto module = *CompressKosinski(pieces[m]);
    block.insert(block.end(), module.begin(), module.end());
    if (m + 1 < pieces.size()) block.resize(block.size() + padding(m, block.size() - 2), 0);
  }
  return block;
}

std::size_t ToSixteen(std::size_t, std::size_t length) { return (16 - length % 16) % 16; }

TEST(KosinskiModuled, OneTwoAndSixteenModules) {
  for (const std::size_t size : {std::size_t{100}, std::size_t{0x1000}, std::size_t{0x1800}, kModuledCapacity}) {
    const Bytes data = Data(size, 13);
    std::vector<Bytes> pieces;
    for (std::size_t at = 0; at < size; at += kModuleBytes)
      pieces.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                          data.begin() + static_cast<std::ptrdiff_t>(std::min(size, at + kModuleBytes)));
    const Bytes block = Block(size, pieces, ToSixteen);
    const auto decoded = DecodeKosinskiModuled(block, 0);
    ASSERT_TRUE(decoded) << size << ": " << decoded.error().message;
    EXPECT_EQ(decoded->bytes, data) << size;
    EXPECT_EQ(decoded->compressedSize, block.size()) << size;
    EXPECT_TRUE(decoded->warnings.empty()) << size;
  }
}

// The first module's stream ends at every phase of 16 in turn: the padding that follows
// it is counted from the first module's start, not from the block's.
TEST(KosinskiModuled, PaddingAtEveryPhase) {
  std::vector<bool> seen(16, false);
  for (unsigned seed = 1; seed < 400 && std::count(seen.begin(), seen.end(), false) > 0; ++seed) {
    const Bytes first = Data(kModuleBytes, seed), second = Data(64, seed + 1);
    const std::size_t phase = CompressKosinski(first)->size() % 16;
    if (seen[phase]) continue;
    seen[phase] = true;
    const Bytes block = Block(kModuleBytes + 64, {first, second}, ToSixteen);
    const auto decoded = DecodeKosinskiModuled(block, 0);
    ASSERT_TRUE(decoded) << "phase " << phase << ": " << decoded.error().message;
    EXPECT_EQ(decoded->bytes.size(), kModuleBytes + 64) << phase;
    if (phase != 0) {  // padded from the block's offset instead: the second module is misread
      const Bytes wrong = Block(kModuleBytes + 64, {first, second}, [](std::size_t, std::size_t length) {
        return (16 - (length + 2) % 16) % 16;
      });
      const auto misread = DecodeKosinskiModuled(wrong, 0);
      EXPECT_TRUE(!misread || misread->bytes != decoded->bytes) << phase;
    }
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 16);
}

TEST(KosinskiModuled, HeaderAndModulesThatDisagree) {
  // The last module holds more than the header says: all of it, with a warning.
  const auto longer = DecodeKosinskiModuled(Block(0x60, {Data(0xC0, 3)}, ToSixteen), 0);
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->bytes.size(), 0xC0u);
  ASSERT_EQ(longer->warnings.size(), 1u);
  EXPECT_NE(longer->warnings[0].find("says 96 bytes, but its modules hold 192"), std::string::npos);
  // A module before the last that holds other than 0x1000 bytes fails the block.
  const auto shortModule = DecodeKosinskiModuled(Block(0x1800, {Data(0xFFF, 3), Data(0x801, 4)}, ToSixteen), 0);
  ASSERT_FALSE(shortModule);
  EXPECT_EQ(shortModule.error().kind, DecodeErrorKind::BadModule);
  // A header of 0 bytes, and a block cut inside its padding.
  EXPECT_EQ(DecodeKosinskiModuled(Bytes{0, 0, 0x17}, 0).error().kind, DecodeErrorKind::EmptyResult);
  Bytes cut = Block(0x1010, {Data(kModuleBytes, 5), Data(0x10, 6)}, [](std::size_t, std::size_t) { return 15; });
  cut.resize(2 + CompressKosinski(Data(kModuleBytes, 5))->size() + 3);
  EXPECT_EQ(DecodeKosinskiModuled(cut, 0).error().kind, DecodeErrorKind::Truncated);
}

}  // namespace
}  // namespace quarvel
