#include "decoders/kosinski.h"

#include <gtest/gtest.h>

#include <random>

#include "encoders/kosinski_writer.h"
#include "support/bytes.h"
#include "support/seed.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::ToHex;

struct StreamCase {
  const char* name;
  const char* stream;
  const char* decoded;
  std::uint64_t compressedSize;
};

class KosinskiStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(KosinskiStream, DecodesToTheExpectedBytes) {
  const auto& c = GetParam();
  const auto block = DecodeKosinski(Hex(c.stream), 0);
  ASSERT_TRUE(block) << block.error().message;
  EXPECT_EQ(ToHex(block->bytes), ToHex(Hex(c.decoded)));
  EXPECT_EQ(block->compressedSize, c.compressedSize);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, KosinskiStream,
    ::testing::Values(
        // descriptor 0017: three literals, then full copy 00 F0 with E = 00, the end
        StreamCase{"ThreeLiteralsThenEnd", "17 00  61 62 63  00 F0 00", "61 62 63", 8},
        // literal, inline copy h=1 l=1 (count 5) from D = FF (1 back), end
        StreamCase{"InlineCopyRepeatsLastByte", "59 00  61  FF  00 00 00", "61 61 61 61 61 61", 7},
        // two literals, full copy L=FE H=F9: 2 back, count 3, overlapping its own output
        StreamCase{"FullCopyShortCount", "2B 00  41 42  FE F9  00 00 00", "41 42 41 42 41", 9},
        // H AND 7 = 0 and E = 05: count 6
        StreamCase{"FullCopyExtendedCount", "2B 00  41 42  FE F8 05  00 00 00", "41 42 41 42 41 42 41 42", 10},
        // E = 01 copies nothing and decoding goes on
        StreamCase{"ExtendedCountOneCopiesNothing", "2B 00  41 42  FE F8 01  00 00 00", "41 42", 10},
        // 16 literals: the second descriptor (02 00) is read as the 16th flag is taken,
        // so it stands before the 16th literal's byte 70
        StreamCase{"DescriptorReadWhenSixteenthBitTaken",
                   "FF FF  61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F  02 00  70  00 F0 00",
                   "61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70", 23},
        // 13 literals, inline copy whose h is bit 15 of the first descriptor and l bit 0
        // of the second; the second descriptor comes before the displacement byte FF
        StreamCase{"InlineCountStraddlesDescriptors",
                   "FF 9F  41 42 43 44 45 46 47 48 49 4A 4B 4C 4D  04 00  FF  00 F0 00",
                   "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4D 4D 4D 4D", 21},
        // after one literal, a copy from 1 back reads position 0: valid
        StreamCase{"CopyFromPositionZero", "41 00  61  FF  00 F0 00", "61 61 61", 7}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  const char* data;
  std::int64_t offset;
  DecodeErrorKind kind;
  std::uint64_t position;
};

class KosinskiFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(KosinskiFailure, FailsWithItsKindAndPosition) {
  const auto& c = GetParam();
  const auto block = DecodeKosinski(Hex(c.data), c.offset);
  ASSERT_FALSE(block);
  EXPECT_EQ(block.error().kind, c.kind) << block.error().message;
  EXPECT_EQ(block.error().position, c.position);
  EXPECT_FALSE(block.error().message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, KosinskiFailure,
    ::testing::Values(
        FailureCase{"EndMarkerFirstDecodesToNothing", "02 00  00 F0 00", 0, DecodeErrorKind::EmptyResult, 4},
        FailureCase{"InlineCopyFirstCopiesBeforeTheStart", "00 00  00", 0, DecodeErrorKind::CopyBeforeStart, 2},
        // after one literal, a copy from 2 back would start before the output: a wrong
        // offset, not a block cut short
        FailureCase{"CopyBeforeTheStartAfterALiteral", "41 00  61  FE  00 F0 00", 0, DecodeErrorKind::CopyBeforeStart, 3},
        FailureCase{"NoEndMarker", "17 00  61 62 63", 0, DecodeErrorKind::Truncated, 5},
        FailureCase{"HalfADescriptor", "17", 0, DecodeErrorKind::Truncated, 1},
        FailureCase{"NextDescriptorMissing", "FF FF  61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F", 0,
                    DecodeErrorKind::Truncated, 17},
        FailureCase{"OffsetPastTheEnd", "17 00", 100, DecodeErrorKind::OffsetBeyondEnd, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Kosinski, EveryCutOfAValidStreamIsTruncatedAtTheCut) {
  const Bytes stream = Hex("FF 9F  41 42 43 44 45 46 47 48 49 4A 4B 4C 4D  04 00  FF  00 F0 00");
  for (std::size_t size = 1; size < stream.size(); ++size) {
    const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(size));
    const auto block = DecodeKosinski(cut, 0);
    ASSERT_FALSE(block) << "cut at " << size;
    EXPECT_EQ(block.error().kind, DecodeErrorKind::Truncated);
    EXPECT_EQ(block.error().position, size);
  }
}

TEST(Kosinski, DecodesABlockInsideLargerData) {
  const Bytes rom = testing::Concat(Hex("EE EE EE EE EE"), Hex("17 00  61 62 63  00 F0 00  EE EE"));
  const auto block = DecodeKosinski(rom, 5);
  ASSERT_TRUE(block);
  EXPECT_EQ(ToHex(block->bytes), "61 62 63");
  EXPECT_EQ(block->compressedSize, 8u);
}

TEST(Kosinski, TruncationIsReportedAtTheEndOfTheData) {
  const Bytes rom = testing::Concat(Hex("EE EE EE"), Hex("17 00  61 62"));
  const auto block = DecodeKosinski(rom, 3);
  ASSERT_FALSE(block);
  EXPECT_EQ(block.error().position, rom.size());
  EXPECT_NE(block.error().message.find("0x7"), std::string::npos) << block.error().message;
}

// One literal, then full copies of the last byte up to `total` bytes.
Bytes RunOfLength(std::size_t total) {
  KosinskiWriter writer;
  writer.Literal(0x5A);
  for (std::size_t done = 1; done < total;) {
    const auto count = static_cast<unsigned>(std::min<std::size_t>(256, total - done));
    if (count >= 3) {
      writer.FullCopy(1, count);
    } else {
      for (unsigned i = 0; i < count; ++i) writer.Literal(0x5A);
    }
    done += count;
  }
  return writer.Finish();
}

TEST(Kosinski, OutputOfExactlyTheCapacityDecodes) {
  const auto block = DecodeKosinski(RunOfLength(kKosinskiCapacity), 0);
  ASSERT_TRUE(block) << block.error().message;
  EXPECT_EQ(block->bytes, Bytes(kKosinskiCapacity, 0x5A));
}

TEST(Kosinski, OneByteMoreThanTheCapacityFails) {
  for (const auto total : {kKosinskiCapacity + 1, kKosinskiCapacity + 200}) {
    const auto block = DecodeKosinski(RunOfLength(total), 0);
    ASSERT_FALSE(block) << total;
    EXPECT_EQ(block.error().kind, DecodeErrorKind::OutputTooLarge);
  }
  KosinskiWriter literalPastTheEnd;  // the 65,537th byte is a literal
  for (std::size_t i = 0; i <= kKosinskiCapacity; ++i) literalPastTheEnd.Literal(static_cast<std::uint8_t>(i));
  const auto block = DecodeKosinski(literalPastTheEnd.Finish(), 0);
  ASSERT_FALSE(block);
  EXPECT_EQ(block.error().kind, DecodeErrorKind::OutputTooLarge);
}

TEST(Kosinski, StreamsLongerThan32767BytesDecode) {
  KosinskiWriter writer;  // 40,000 literals: about 42,500 stream bytes
  Bytes expected;
  for (int i = 0; i < 40000; ++i) {
    expected.push_back(static_cast<std::uint8_t>(i * 7));
    writer.Literal(expected.back());
  }
  const Bytes stream = writer.Finish();
  ASSERT_GT(stream.size(), 32768u);
  const auto block = DecodeKosinski(stream, 0);
  ASSERT_TRUE(block) << block.error().message;
  EXPECT_EQ(block->bytes, expected);
  EXPECT_EQ(block->compressedSize, stream.size());
}

TEST(Kosinski, EmptyCopiesDoNotCountTowardsAnyLimit) {
  KosinskiWriter writer;
  writer.Literal(1);
  for (int i = 0; i < 20000; ++i) writer.EmptyCopy(1);
  const auto block = DecodeKosinski(writer.Finish(), 0);
  ASSERT_TRUE(block);
  EXPECT_EQ(ToHex(block->bytes), "01");
}

// Random command sequences, written with the writer and checked against the output
// that the commands mean. The seed is printed so that a failure can be replayed.
TEST(Kosinski, RandomCommandSequencesDecodeToWhatTheyMean) {
  const unsigned seed = testing::TestSeed(20261207);
  SCOPED_TRACE(testing::SeedTrace(seed));
  std::mt19937 random(seed);
  auto pick = [&](unsigned low, unsigned high) { return std::uniform_int_distribution<unsigned>(low, high)(random); };

  for (int round = 0; round < 50; ++round) {
    KosinskiWriter writer;
    Bytes expected;
    const std::size_t target = pick(1, 20000);
    while (expected.size() < target) {
      const unsigned command = expected.empty() ? 0 : pick(0, 3);
      const auto available = static_cast<unsigned>(expected.size());
      if (command == 0) {
        expected.push_back(static_cast<std::uint8_t>(pick(0, 255)));
        writer.Literal(expected.back());
        continue;
      }
      unsigned distance, count;
      if (command == 1) {
        distance = pick(1, std::min(256u, available));
        count = pick(2, 5);
        writer.InlineCopy(distance, count);
      } else {
        distance = pick(1, std::min(8192u, available));
        count = command == 2 ? pick(3, 9) : pick(3, 256);
        writer.FullCopy(distance, count, command == 3);
      }
      for (unsigned i = 0; i < count; ++i) expected.push_back(expected[expected.size() - distance]);
    }
    const auto block = DecodeKosinski(writer.Finish(), 0);
    ASSERT_TRUE(block) << block.error().message;
    ASSERT_EQ(block->bytes, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace quarvel
