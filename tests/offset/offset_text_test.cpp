#include "offset/offset_text.h"

#include <gtest/gtest.h>

#include <optional>

namespace quarvel {
namespace {

struct ParseCase {
  const char* text;
  Radix radix;
  std::optional<std::int32_t> value;  // none: the parse fails
  OffsetTextError error = OffsetTextError::NotANumber;
};

class ParseOffset : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseOffset, GivesTheValueOrTheError) {
  const auto& c = GetParam();
  const auto parsed = ParseOffsetText(c.text, c.radix);
  if (c.value) {
    ASSERT_TRUE(parsed) << "'" << c.text << "'";
    EXPECT_EQ(*parsed, *c.value) << "'" << c.text << "'";
  } else {
    ASSERT_FALSE(parsed) << "'" << c.text << "' gave " << *parsed;
    EXPECT_EQ(parsed.error(), c.error) << "'" << c.text << "'";
  }
}

constexpr auto kHex = Radix::Hex;
constexpr auto kDec = Radix::Dec;
constexpr auto kEmpty = OffsetTextError::Empty;
constexpr auto kRange = OffsetTextError::OutOfRange;
constexpr std::nullopt_t kFails = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Hex, ParseOffset,
    ::testing::Values(ParseCase{"0", kHex, 0}, ParseCase{"1A2B", kHex, 6699}, ParseCase{"1a2b", kHex, 6699},
                      ParseCase{"000000010", kHex, 16},  // leading zeros do not count
                      ParseCase{"0001A2B0", kHex, 0x1A2B0}, ParseCase{"7FFFFFFF", kHex, 2147483647},
                      ParseCase{"80000000", kHex, -2147483647 - 1}, ParseCase{"ffffffff", kHex, -1},
                      ParseCase{" 1A2B", kHex, 6699}, ParseCase{"1A2B  ", kHex, 6699},  // blanks around
                      ParseCase{"\t10 ", kHex, 16}, ParseCase{"100000000", kHex, kFails, kRange},
                      ParseCase{"FFFFFFFFFFFFFFFFFFFF", kHex, kFails, kRange}, ParseCase{"", kHex, kFails, kEmpty},
                      ParseCase{" ", kHex, kFails, kEmpty}, ParseCase{"  ", kHex, kFails, kEmpty},
                      ParseCase{"0x10", kHex, kFails}, ParseCase{"&h10", kHex, kFails}, ParseCase{"1A 2B", kHex, kFails},
                      ParseCase{"-1", kHex, kFails}, ParseCase{"+1", kHex, kFails}, ParseCase{"xyz", kHex, kFails},
                      ParseCase{"12G", kHex, kFails}, ParseCase{"FFFFFFFFFZ", kHex, kFails}));

INSTANTIATE_TEST_SUITE_P(
    Dec, ParseOffset,
    ::testing::Values(ParseCase{"0", kDec, 0}, ParseCase{"1000", kDec, 1000}, ParseCase{"+6699", kDec, 6699},
                      ParseCase{"-5", kDec, -5}, ParseCase{"007", kDec, 7}, ParseCase{" 42 ", kDec, 42},
                      ParseCase{"2147483647", kDec, 2147483647}, ParseCase{"-2147483648", kDec, -2147483647 - 1},
                      ParseCase{"2147483648", kDec, kFails, kRange}, ParseCase{"-2147483649", kDec, kFails, kRange},
                      ParseCase{"99999999999999999999", kDec, kFails, kRange}, ParseCase{"", kDec, kFails, kEmpty},
                      ParseCase{"-", kDec, kFails}, ParseCase{"+", kDec, kFails}, ParseCase{"1A", kDec, kFails},
                      ParseCase{"1.5", kDec, kFails}, ParseCase{"1 000", kDec, kFails}, ParseCase{"--1", kDec, kFails}));

struct FormatCase {
  std::int32_t value;
  const char* hex;
  const char* dec;
};

TEST(FormatOffset, WritesBothRadixes) {
  for (const auto& c : {FormatCase{0, "0", "0"}, FormatCase{26, "1A", "26"}, FormatCase{6699, "1A2B", "6699"},
                        FormatCase{-1, "FFFFFFFF", "-1"}, FormatCase{-2147483647 - 1, "80000000", "-2147483648"},
                        FormatCase{2147483647, "7FFFFFFF", "2147483647"}}) {
    EXPECT_EQ(FormatOffsetText(c.value, Radix::Hex), c.hex);
    EXPECT_EQ(FormatOffsetText(c.value, Radix::Dec), c.dec);
  }
}

TEST(FormatOffset, EveryFormattedValueParsesBack) {
  for (const std::int32_t value : {0, 1, 255, 4096, 6699, 0x1A2B0, -1, -32768, 2147483647, -2147483647 - 1}) {
    for (const auto radix : {Radix::Hex, Radix::Dec}) {
      const auto parsed = ParseOffsetText(FormatOffsetText(value, radix), radix);
      ASSERT_TRUE(parsed);
      EXPECT_EQ(*parsed, value);
    }
  }
}

TEST(DescribeOffsetError, NamesTheTextAndTheRule) {
  EXPECT_EQ(DescribeOffsetTextError(OffsetTextError::NotANumber, "0x1G", Radix::Hex),
            "the offset '0x1G' is not a hexadecimal number (digits 0-9 and A-F, after 0x or $ or alone; no sign)");
  EXPECT_EQ(DescribeOffsetTextError(OffsetTextError::OutOfRange, "2147483648", Radix::Dec),
            "the offset '2147483648' is outside -2147483648 to 2147483647");
  EXPECT_EQ(DescribeOffsetTextError(OffsetTextError::Empty, "", Radix::Dec), "the offset is empty");
}

}  // namespace
}  // namespace quarvel
