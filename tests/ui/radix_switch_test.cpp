#include "ui/radix_switch.h"

#include <gtest/gtest.h>

#include "form_fixture.h"
#include "offset/offset_text.h"

namespace quarvel {
namespace {

struct SwitchCase {
  const char* name;
  Radix chosen;
  const char* displayLoc;
  const char* displayLoc2;
  const char* expectedLoc;
  const char* expectedLoc2;
};

class RadixSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(RadixSwitch, ConvertsEachFieldOnItsOwn) {
  const auto& c = GetParam();
  testing::FormFixture f;
  f.form.state.DataOffset = 9;
  f.displayLoc.SetText(c.displayLoc);
  f.displayLoc2.SetText(c.displayLoc2);
  (c.chosen == Radix::Dec ? OptDec_Click : OptHex_Click)(f.form);
  EXPECT_EQ(f.displayLoc.Text(), c.expectedLoc);
  EXPECT_EQ(f.displayLoc2.Text(), c.expectedLoc2);
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_EQ(f.form.state.DataOffset, 9);
}

constexpr auto kToDec = Radix::Dec;
constexpr auto kToHex = Radix::Hex;

INSTANTIATE_TEST_SUITE_P(
    Fields, RadixSwitch,
    ::testing::Values(
        SwitchCase{"HexToDec", kToDec, "1A2B", "0", "6699", "0"},
        SwitchCase{"DecToHex", kToHex, "6699", "0", "1A2B", "0"},
        SwitchCase{"LeadingZerosAreNotKept", kToDec, "0001A2B0", "0", "107184", "0"},
        SwitchCase{"AllOnesIsMinusOne", kToDec, "ffffffff", "10", "-1", "16"},
        SwitchCase{"MinusOneIsAllOnes", kToHex, "-1", "16", "FFFFFFFF", "10"},
        SwitchCase{"NegativeDecimal", kToHex, "-5", "0", "FFFFFFFB", "0"},
        SwitchCase{"DecimalAboveRangeKeepsItsText", kToHex, "2147483648", "26", "2147483648", "1A"},
        SwitchCase{"NineHexDigitsKeepTheirText", kToDec, "100000000", "1A", "100000000", "26"},
        SwitchCase{"EmptyFieldStaysEmptyTheOtherConverts", kToDec, "", "10", "", "16"},
        SwitchCase{"OneBlankStaysTheOtherConverts", kToDec, " ", "10", " ", "16"},
        SwitchCase{"TwoBlanksStay", kToDec, "  ", "10", "  ", "16"},
        SwitchCase{"SecondFieldEmpty", kToDec, "12", "", "18", ""},
        SwitchCase{"BadSecondFieldKeepsItsText", kToDec, "12", "xyz", "18", "xyz"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RadixSwitchRoundTrip, DecThenHexGivesTheCanonicalText) {
  testing::FormFixture f;
  f.displayLoc.SetText("0001a2b0");
  OptDec_Click(f.form);
  OptHex_Click(f.form);
  EXPECT_EQ(f.displayLoc.Text(), "1A2B0");
}

}  // namespace
}  // namespace quarvel
