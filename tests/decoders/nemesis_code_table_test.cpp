#include "decoders/nemesis_code_table.h"

#include <gtest/gtest.h>

#include "decoders/byte_source.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Hex;

struct Fill {
  unsigned first, last;  // entries, inclusive
  NemesisCode code;
};

struct TableCase {
  const char* name;
  const char* description;
  std::vector<Fill> fills;  // every other entry stays zero
};

class NemesisTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(NemesisTable, FillsExactlyTheEntriesOfItsRecords) {
  const auto& c = GetParam();
  const testing::Bytes description = Hex(c.description);
  const testing::Bytes data = testing::Concat(description, Hex("5A"));
  auto in = SpanSource::Open(data, 0);
  const auto table = NemesisBuildTable(*in);
  ASSERT_TRUE(table) << table.error().message;
  NemesisCodeTable expected{};
  for (const auto& fill : c.fills)
    for (unsigned e = fill.first; e <= fill.last; ++e) expected[e] = fill.code;
  for (unsigned e = 0; e < 256; ++e) {
    EXPECT_EQ((*table)[e], expected[e]) << "entry " << e << ": length " << int{(*table)[e].length} << " run "
                                        << int{(*table)[e].runField} << " pixel " << int{(*table)[e].pixel};
  }
  EXPECT_EQ(in->Position(), description.size());  // just after the FF
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, NemesisTable,
    ::testing::Values(
        TableCase{"ThreeCodes", "80 01 00  81 02 02  82 72 03  FF",
                  {{0, 127, {1, 0, 0}}, {128, 191, {2, 0, 1}}, {192, 255, {2, 7, 2}}}},
        TableCase{"OnlyTheEnd", "FF", {}},
        TableCase{"RecordBeforeAnyPaletteIsPixelZero", "02 01  FF", {{64, 127, {2, 0, 0}}}},
        TableCase{"PaletteThenFFIsALengthByte", "81 FF 00  02 01  FF",  // L 15, run 15, S 7
                  {{0, 63, {15, 15, 1}}, {64, 127, {2, 0, 1}}}},
        TableCase{"PaletteThenPaletteIsALengthByte", "81 85 03  FF", {{24, 31, {5, 8, 1}}}},
        TableCase{"LengthEightFillsOneEntry", "83 08 2A  FF", {{42, 42, {8, 0, 3}}}},
        TableCase{"LengthZeroFillsAll", "84 00 00  FF", {{0, 255, {0, 0, 4}}}},
        TableCase{"LengthZeroBeyondTheTable", "00 3E  FF", {}},
        TableCase{"LengthTwelveFillsSixteen", "0C 05  FF", {{80, 95, {12, 0, 0}}}},
        TableCase{"CodeTooLargeForItsLengthFillsNothingRead", "01 05  FF", {}},
        TableCase{"LaterRecordsOverwrite", "80 01 00  81 03 01  FF", {{0, 31, {1, 0, 0}}, {32, 63, {3, 0, 1}}, {64, 127, {1, 0, 0}}}},
        TableCase{"RunFieldWithBitSeven", "81 F2 01  FF", {{64, 127, {2, 15, 1}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NemesisTable, FailsWhenARecordReachesPastTheTableArea) {
  struct Case {
    const char* description;
    std::uint64_t position;  // of the code byte
  };
  for (const auto& c : {Case{"00 3F  FF", 1}, Case{"00 40  FF", 1}, Case{"02 01  01 80  FF", 3}, Case{"81 FF FF", 2}}) {
    const auto table = NemesisBuildTable(Hex(c.description));
    ASSERT_FALSE(table) << c.description;
    EXPECT_EQ(table.error().kind, DecodeErrorKind::MalformedCodeTable) << c.description;
    EXPECT_EQ(table.error().position, c.position) << c.description;
  }
}

TEST(NemesisTable, FailsWhenTheDataEndsBeforeTheFF) {
  for (const char* description : {"", "80", "80 01", "80 01 00", "80 01 00 81 02"}) {
    const auto table = NemesisBuildTable(Hex(description));
    ASSERT_FALSE(table) << description;
    EXPECT_EQ(table.error().kind, DecodeErrorKind::Truncated) << description;
  }
}

}  // namespace
}  // namespace quarvel
