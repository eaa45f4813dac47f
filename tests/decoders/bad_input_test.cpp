// What the extraction does with every kind of bad input: the error it gives, and that
// the ROM image and the destination stay as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "common/format.h"
#include "files/extraction.h"
#include "decoders/kosinski.h"
#include "encoders/kosinski_writer.h"
#include "decoders/nemesis.h"
#include "formats/format_table.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Concat;
using testing::Hex;
using testing::ReadFile;

const Bytes kKosinskiBlock = Hex("17 00 61 62 63 00 F0 00");
const Bytes kNemesisBlock = Hex("00 01 81 71 00 FF 00");

// A Kosinski block with all kinds of commands, as real data has them.
Bytes KosinskiShaped(unsigned seed) {
  std::mt19937 random(seed);
  auto pick = [&](unsigned low, unsigned high) { return std::uniform_int_distribution<unsigned>(low, high)(random); };
  KosinskiWriter writer;
  for (unsigned done = 0; done < 400;) {
    const unsigned kind = done == 0 ? 0 : pick(0, 3);
    const unsigned count = kind == 0 ? 1 : kind == 1 ? pick(2, 5) : pick(3, 20);
    if (kind == 0) writer.Literal(static_cast<std::uint8_t>(pick(0, 255)));
    if (kind == 1) writer.InlineCopy(pick(1, std::min(256u, done)), count);
    if (kind >= 2) writer.FullCopy(pick(1, done), count, kind == 3);
    done += count;
  }
  return writer.Finish();
}

// A six-tile Nemesis block with table codes, runs across rows and inline codes, and
// bytes after it.
Bytes NemesisShaped(bool xorMode) {
  Bytes block = Hex(xorMode ? "80 06" : "00 06");
  block = Concat(block, Hex("80 02 00  81 02 01  8F 72 02  FF"));
  for (int i = 0; i < 16; ++i) block = Concat(block, Hex("1B 55 E7 F8"));
  return block;
}

enum class Source { Rom, Missing, Folder };
enum class Destination { Existing, New, InMissingFolder, InReadOnlyFolder, InProc, TheRom };

struct BadInput {
  const char* name;
  Format format;
  Bytes rom;
  std::int32_t offset;
  DecodeErrorKind kind;
  Source source = Source::Rom;
  Destination destination = Destination::Existing;
};

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, FailWithTheirErrorAndTouchNoFile) {
  const auto& c = GetParam();
  testing::TempDir dir;
  fs::path rom = dir / "rom.bin";
  if (c.source == Source::Rom) testing::WriteFile(rom, c.rom);
  if (c.source == Source::Folder) fs::create_directory(rom);
  const Bytes old = Hex("DE AD BE EF");
  fs::path out = dir / "out.dat";
  switch (c.destination) {
    case Destination::Existing: testing::WriteFile(out, old); break;
    case Destination::New: break;
    case Destination::InMissingFolder: out = dir / "missing" / "out.dat"; break;
    case Destination::InReadOnlyFolder:
      fs::create_directory(dir / "locked");
      fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
      if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
      out = dir / "locked" / "out.dat";
      break;
    case Destination::InProc: out = "/proc/quarvel-out.dat"; break;
    case Destination::TheRom: out = dir / "." / "rom.bin"; break;
  }
  const auto listed = dir.List();

  const auto result = Decompress(c.format, rom, out, c.offset);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind, c.kind) << result.error().message;
  EXPECT_FALSE(result.error().message.empty());
  if (c.source == Source::Rom) {
    EXPECT_EQ(ReadFile(rom), c.rom);
  }
  if (c.destination == Destination::Existing) {
    EXPECT_EQ(ReadFile(out), old);
  }
  EXPECT_EQ(dir.List(), listed);
  EXPECT_FALSE(fs::exists("/proc/quarvel-out.dat"));
}

std::vector<BadInput> Cases() {
  std::vector<BadInput> cases;
  for (const Format format : {Format::Kosinski, Format::Nemesis}) {
    const Bytes& block = format == Format::Kosinski ? kKosinskiBlock : kNemesisBlock;
    const auto size = static_cast<std::int32_t>(block.size());
    const bool k = format == Format::Kosinski;
    auto add = [&](const char* kosinskiName, const char* nemesisName, Bytes rom, std::int32_t offset,
                   DecodeErrorKind kind, Source source = Source::Rom, Destination destination = Destination::Existing) {
      cases.push_back({k ? kosinskiName : nemesisName, format, std::move(rom), offset, kind, source, destination});
    };
    add("KosinskiNegativeOffset", "NemesisNegativeOffset", block, -1, DecodeErrorKind::NegativeOffset);
    add("KosinskiLowestOffset", "NemesisLowestOffset", block, -2147483647 - 1, DecodeErrorKind::NegativeOffset);
    add("KosinskiLargestOffset", "NemesisLargestOffset", block, 2147483647, DecodeErrorKind::OffsetBeyondEnd);
    add("KosinskiOffsetAtTheEnd", "NemesisOffsetAtTheEnd", block, size, DecodeErrorKind::OffsetBeyondEnd);
    add("KosinskiOffsetPastTheEnd", "NemesisOffsetPastTheEnd", block, size + 100, DecodeErrorKind::OffsetBeyondEnd);
    add("KosinskiEmptyRom", "NemesisEmptyRom", {}, 0, DecodeErrorKind::OffsetBeyondEnd);
    add("KosinskiMissingRom", "NemesisMissingRom", block, 0, DecodeErrorKind::CannotOpenSource, Source::Missing);
    add("KosinskiRomIsAFolder", "NemesisRomIsAFolder", block, 0, DecodeErrorKind::CannotOpenSource, Source::Folder);
    add("KosinskiTruncated", "NemesisTruncated", Bytes(block.begin(), block.end() - 1), 0,
        DecodeErrorKind::Truncated);
    add("KosinskiDestinationInMissingFolder", "NemesisDestinationInMissingFolder", block, 0,
        DecodeErrorKind::CannotWriteDestination, Source::Rom, Destination::InMissingFolder);
    add("KosinskiDestinationInReadOnlyFolder", "NemesisDestinationInReadOnlyFolder", block, 0,
        DecodeErrorKind::CannotWriteDestination, Source::Rom, Destination::InReadOnlyFolder);
    add("KosinskiDestinationInProc", "NemesisDestinationInProc", block, 0, DecodeErrorKind::CannotWriteDestination,
        Source::Rom, Destination::InProc);
    add("KosinskiDestinationIsTheRom", "NemesisDestinationIsTheRom", block, 0, DecodeErrorKind::SourceIsDestination,
        Source::Rom, Destination::TheRom);
  }
  KosinskiWriter tooLong;  // one literal, then 65,536 more bytes of copies
  tooLong.Literal(7);
  for (int i = 0; i < 256; ++i) tooLong.FullCopy(1, 256);
  cases.push_back({"Kosinski65537Bytes", Format::Kosinski, tooLong.Finish(), 0, DecodeErrorKind::OutputTooLarge});
  cases.push_back({"KosinskiNothingDecoded", Format::Kosinski, Hex("02 00 00 F0 00"), 0, DecodeErrorKind::EmptyResult});
  cases.push_back({"KosinskiFirstCopyBeforeStart", Format::Kosinski, Hex("00 00 00"), 0,
                   DecodeErrorKind::CopyBeforeStart});
  cases.push_back({"Nemesis8193Tiles", Format::Nemesis, Concat(Hex("20 01 81 71 00 FF"), Bytes(8193, 0)), 0,
                   DecodeErrorKind::TooManyTiles});
  cases.push_back({"NemesisMalformedTable", Format::Nemesis, Hex("00 01 00 40 FF 00"), 0,
                   DecodeErrorKind::MalformedCodeTable});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputs, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Every cut of real-shaped blocks, in both formats, is a truncated stream.
TEST(BadInputs, EveryCutOfARealShapedBlockIsTruncated) {
  struct Shaped {
    Format format;
    Bytes block;
  };
  for (const auto& shaped : {Shaped{Format::Kosinski, KosinskiShaped(1)}, Shaped{Format::Kosinski, KosinskiShaped(2)},
                             Shaped{Format::Nemesis, NemesisShaped(false)}, Shaped{Format::Nemesis, NemesisShaped(true)}}) {
    const auto whole = DecodeBlock(shaped.format, shaped.block, 0);
    ASSERT_TRUE(whole) << whole.error().message;
    for (std::size_t size = 1; size < whole->compressedSize; ++size) {
      const std::span<const std::uint8_t> cut(shaped.block.data(), size);
      const auto result = DecodeBlock(shaped.format, cut, 0);
      ASSERT_FALSE(result) << FormatName(shaped.format) << " cut at " << size;
      EXPECT_EQ(result.error().kind, DecodeErrorKind::Truncated) << FormatName(shaped.format) << " cut at " << size;
    }
  }
}

}  // namespace
}  // namespace quarvel
