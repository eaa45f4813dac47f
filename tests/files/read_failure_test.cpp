// A ROM file whose reading fails part-way, through the file path that the commands
// take: the decode fails with a read error, and the destination is left as it was.
#include <gtest/gtest.h>

#include <cerrno>

#include "files/extraction.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::Hex;

// Bytes in memory whose reads fail once they reach past `readable` bytes.
class FailingRomFile : public RomFile {
 public:
  FailingRomFile(Bytes bytes, std::uint64_t readable) : bytes_(std::move(bytes)), readable_(readable) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  Expected<std::size_t, std::error_code> ReadAt(std::uint64_t position, std::span<std::uint8_t> into) override {
    if (position >= readable_) return Fail(std::error_code(EIO, std::generic_category()));
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), readable_ - position));
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position), count, into.begin());
    return count;
  }

 private:
  Bytes bytes_;
  std::uint64_t readable_;
};

TEST(ReadFailure, FailsTheDecodeAndLeavesTheDestination) {
  struct Case {
    Format format;
    Bytes block;
  };
  constexpr std::size_t kAt = 65530;  // the block crosses the first 64 KiB chunk of the file
  testing::TempDir dir;
  testing::WriteFile(dir / "out.dat", Hex("AA BB"));
  for (const auto& c : {Case{Format::Kosinski, Hex("17 00  61 62 63  00 F0 00")},
                        Case{Format::Nemesis, Hex("00 01  81 71 00  FF  00")}}) {
    const Bytes rom = testing::Concat(Bytes(kAt, 0xEE), c.block);
    for (const std::uint64_t readable : {std::uint64_t{0}, std::uint64_t{65536}}) {
      FailingRomFile file(rom, readable);
      const auto block = ReadBlock(c.format, file, kAt);
      ASSERT_FALSE(block) << FormatName(c.format) << " " << readable;
      EXPECT_EQ(block.error().kind, DecodeErrorKind::CannotOpenSource);
      EXPECT_EQ(block.error().message, "reading the ROM image failed");

      const auto extraction = ExtractBlock(dir / "rom.bin", dir / "out.dat", kAt,
                                           [&](const std::filesystem::path&, std::int64_t offset) {
                                             FailingRomFile again(rom, readable);
                                             return ReadBlock(c.format, again, offset);
                                           });
      EXPECT_FALSE(extraction);
      EXPECT_EQ(testing::ReadFile(dir / "out.dat"), Hex("AA BB"));
    }
    FailingRomFile whole(rom, rom.size());  // the same block, read whole, decodes
    EXPECT_TRUE(ReadBlock(c.format, whole, kAt)) << FormatName(c.format);
  }
}

}  // namespace
}  // namespace quarvel
