#include "catalogue/entry.h"

#include <gtest/gtest.h>

#include "catalogue/rom_names.h"
#include "catalogue/windows1252.h"

namespace quarvel {
namespace {

TEST(FormatEntry, PadsUpperCasesAndJoins) {
  struct Case {
    std::int32_t offset;
    Format format;
    const char* description;
    const char* entry;
  };
  for (const auto& c : {Case{0x1A2B0, Format::Kosinski, "Rings", "0001A2B0 - <K> - Rings"},
                        Case{-1, Format::Nemesis, "", "FFFFFFFF - <N> - "},
                        Case{0, Format::Kosinski, "Digite a descrição dos dados ",
                             "00000000 - <K> - Digite a descrição dos dados "},
                        Case{-2147483647 - 1, Format::Nemesis, "x", "80000000 - <N> - x"},
                        Case{16, Format::Kosinski, "say \"hi\"", "00000010 - <K> - say 'hi'"}}) {
    EXPECT_EQ(FormatEntry(c.offset, c.format, c.description), c.entry);
  }
}

TEST(ReadEntry, TakesTheOffsetCharactersAndTheTypeLetter) {
  EXPECT_EQ(EntryOffsetText("0001A2B0 - <K> - Rings"), "0001A2B0");
  EXPECT_EQ(EntryOffsetText("1A2B"), "1A2B");
  EXPECT_EQ(EntryOffsetText("çããããããã - x"), "çããããããã");
  EXPECT_EQ(EntryFormat("0001A2B0 - <K> - Rings"), Format::Kosinski);
  EXPECT_EQ(EntryFormat("0001A2B0 - <N> - "), Format::Nemesis);
  EXPECT_EQ(EntryFormat("ççççççç0 - <N>"), Format::Nemesis);
  for (const char* entry : {"0001A2B0 - <k> - x", "0001A2B0 - <X> - x", "0001A2B0 - <", "", "1A2B - <K> - x"})
    EXPECT_EQ(EntryFormat(entry), std::nullopt) << entry;
}

TEST(Windows1252, EveryByteRoundTrips) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::uint8_t b = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(std::span(&b, 1))), std::vector<std::uint8_t>{b}) << byte;
  }
  EXPECT_EQ(Windows1252ToUtf8(std::vector<std::uint8_t>{0x80, 0xE7, 0x81, 0x9F}), "€ç\u0081Ÿ");
}

TEST(Windows1252, WhatItCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToWindows1252("a日b\xFF"), (std::vector<std::uint8_t>{'a', '?', 'b', '?'}));
  EXPECT_EQ(Utf8ToWindows1252("\xC3"), std::vector<std::uint8_t>{'?'});
}

TEST(DescriptionProblem, NamesWhatAnEntryCannotHold) {
  struct Case {
    const char* description;
    const char* problemPart;  // "" when the description is fine
  };
  for (const auto& c : {Case{"Anéis ç € … Ÿ", ""}, Case{"Ωmega", "holds 'Ω', which a catalogue file"},
                        Case{"a\rb", "a line break"}, Case{"a\nb", "a line break"},
                        Case{"over\xC0\xAFlong", "holds '\xEF\xBF\xBD'"}, Case{"\xED\xA0\x80", "holds '\xEF\xBF\xBD'"},
                        Case{"\xF4\x90\x80\x80", "holds '\xEF\xBF\xBD'"}, Case{"日本", "holds '日'"}}) {
    const auto problem = DescriptionProblem(c.description);
    if (std::string_view(c.problemPart).empty()) {
      EXPECT_FALSE(problem) << c.description;
    } else {
      ASSERT_TRUE(problem) << c.description;
      EXPECT_NE(problem->find(c.problemPart), std::string::npos) << *problem;
    }
  }
}

TEST(RomNames, FindsByListTextOrBaseName) {
  EXPECT_EQ(FindRomCatalogue("Sonic & Knuckles")->baseName, "SonicK");
  EXPECT_EQ(FindRomCatalogue("sonic3k")->baseName, "Sonic3K");
  EXPECT_FALSE(FindRomCatalogue("Sonic 4"));
  EXPECT_EQ(CatalogueFilePath("/opt/q", "Sonic1J"), std::filesystem::path("/opt/q/Sonic1J.dat"));
}

}  // namespace
}  // namespace quarvel
