#include "ui/catalogue_commands.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue_file.h"
#include "form_fixture.h"
#include "platform/list_box_contract.h"
#include "support/bytes.h"
#include "support/process.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ReadFile;
using Entries = std::vector<std::string>;

using testing::Info;

const Message kConfirmRemoval{std::string(kConfirmRemovalMessage), MessageButtons::YesNo, MessageIcon::None,
                              std::string(kConfirmRemovalTitle)};

Bytes FileText(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The form with its program directory in a scratch folder.
class Catalogue : public ::testing::Test {
 protected:
  Catalogue() { f.programDirectory.directory = dir.path(); }

  void WriteCatalogue(const char* baseName, const Entries& entries) {
    ASSERT_TRUE(SaveCatalogue(dir / (std::string(baseName) + ".dat"), entries));
  }
  // Chooses a ROM of the list, as a click does.
  void ChooseRom(int position) { f.romList.SetSelectedIndex(position); }
  Entries Listed() const {
    Entries entries;
    for (int i = 0; i < f.compList.Count(); ++i) entries.push_back(f.compList.ItemAt(i));
    return entries;
  }

  testing::TempDir dir;
  testing::FormFixture f;
};

const Entries kThree = {"0001A2B0 - <K> - Rings", "FFFF8000 - <N> - Sprites", "00000010 - <K> - Level"};

TEST(ListBoxDouble, KeepsTheListBoxContract) {
  testing::FakeListBox list;
  int clicks = 0;
  list.onClick = [&clicks] { ++clicks; };
  testing::CheckListBoxContract(list, clicks, [](bool held, const char* rule) { EXPECT_TRUE(held) << rule; });
}

TEST_F(Catalogue, ChoosingARomLoadsItsFileAndSelectsTheFirstEntry) {
  WriteCatalogue("Sonic2", kThree);
  f.optNem.Select();
  ChooseRom(3);
  EXPECT_EQ(f.form.state.RomName, "Sonic2");
  EXPECT_EQ(Listed(), kThree);
  EXPECT_EQ(f.compList.SelectedIndex(), 0);
  EXPECT_EQ(f.displayLoc.Text(), "1A2B0");
  EXPECT_TRUE(f.optKos.IsSelected());
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST_F(Catalogue, AMissingFileIsAnEmptyCatalogueThatAnAddCreates) {
  WriteCatalogue("Sonic1", kThree);
  ChooseRom(0);
  f.displayLoc.SetText("77");
  f.optNem.Select();
  ChooseRom(8);
  EXPECT_EQ(f.form.state.RomName, "Custom");
  EXPECT_EQ(f.compList.Count(), 0);
  EXPECT_EQ(f.compList.SelectedIndex(), ListBox::kNoSelection);
  EXPECT_EQ(f.displayLoc.Text(), "77");
  EXPECT_TRUE(f.optNem.IsSelected());
  EXPECT_TRUE(f.messages.shown.empty());

  f.displayLoc2.SetText("10");
  AddLoc_Click(f.form);
  EXPECT_EQ(LoadCatalogue(dir / "Custom.dat").entries, Entries{"00000010 - <N> - Digite a descrição dos dados "});
}

TEST_F(Catalogue, AnEmptyFileLoadsNothing) {
  testing::WriteFile(dir / "Sonic3.dat", {});
  ChooseRom(4);
  EXPECT_EQ(f.compList.Count(), 0);
  EXPECT_EQ(f.compList.SelectedIndex(), ListBox::kNoSelection);
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST_F(Catalogue, HandWrittenLinesLoadAsTheirRecords) {
  testing::WriteFile(dir / "Sonic1.dat", FileText("\"0000A000 - <K> - one, two\"\r\n00000B00 - <N> - x,   y\r\n"));
  ChooseRom(0);
  EXPECT_EQ(Listed(), (Entries{"0000A000 - <K> - one, two", "00000B00 - <N> - x", "y"}));
}

// A quote that a saved entry cannot hold is saved as an apostrophe: the file then says
// what the list does, and the next add goes through.
TEST_F(Catalogue, AHandWrittenQuoteIsNoChangeMadeElsewhere) {
  testing::WriteFile(dir / "Sonic1.dat", FileText("00000B00 - <N> - \"big\" rings\r\n"));
  ChooseRom(0);
  for (const char* offset : {"10", "20"}) {
    f.displayLoc2.SetText(offset);
    AddLoc_Click(f.form);
  }
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries.size(), 3u);
}

struct SelectCase {
  const char* entry;
  bool hex;
  const char* displayLoc;
  bool kosinski;  // the format option after the click; it starts on Kosinski
};

TEST_F(Catalogue, SelectingAnEntryFillsTheOffsetAndTheFormat) {
  for (const auto& c : {SelectCase{"0001A2B0 - <K> - Rings", true, "1A2B0", true},
                        SelectCase{"0001A2B0 - <K> - Rings", false, "107184", true},
                        SelectCase{"FFFF8000 - <N> - x", false, "-32768", false},
                        SelectCase{"FFFF8000 - <N> - x", true, "FFFF8000", false},
                        SelectCase{"00000020 - <n> - x", true, "20", true}, SelectCase{"00000030", true, "30", true},
                        SelectCase{"00000040 - <M> - art", true, "40", true}}) {
    testing::FormFixture g;
    (c.hex ? g.optHex : g.optDec).Select();
    g.compList.Append(c.entry);
    g.compList.SetSelectedIndex(0);
    EXPECT_EQ(g.displayLoc.Text(), c.displayLoc) << c.entry;
    EXPECT_EQ(g.optKos.IsSelected(), c.kosinski) << c.entry;
    EXPECT_TRUE(g.messages.shown.empty()) << c.entry;
  }
}

TEST_F(Catalogue, AnEntryWithoutAHexOffsetChangesNothing) {
  f.optNem.Select();
  f.displayLoc.SetText("5");
  f.compList.Append("1A2B - <K> - hand written");
  f.compList.SetSelectedIndex(0);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Info(kInvalidEntryMessage)});
  EXPECT_EQ(f.displayLoc.Text(), "5");
  EXPECT_TRUE(f.optNem.IsSelected());
}

TEST_F(Catalogue, AddAppendsTheEntryAndRewritesTheFile) {
  WriteCatalogue("Sonic1", {kThree[0], kThree[1]});
  ChooseRom(0);
  f.compList.SetSelectedIndex(1);
  f.optKos.Select();
  const std::string shown = f.displayLoc.Text();
  f.displayLoc2.SetText("1a2b0");
  f.descLoc.SetText("Rings");
  AddLoc_Click(f.form);
  EXPECT_EQ(Listed(), (Entries{kThree[0], kThree[1], "0001A2B0 - <K> - Rings"}));
  EXPECT_EQ(ReadFile(dir / "Sonic1.dat"),
            FileText("\"0001A2B0 - <K> - Rings\"\r\n\"FFFF8000 - <N> - Sprites\"\r\n\"0001A2B0 - <K> - Rings\"\r\n"));
  EXPECT_EQ(f.compList.SelectedIndex(), 1);
  EXPECT_EQ(f.displayLoc.Text(), shown);
  EXPECT_EQ(f.form.state.DataOffset, 0x1A2B0);
  EXPECT_EQ(f.displayLoc2.Text(), "1a2b0");
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST_F(Catalogue, AddTakesTheRadixTheFormatAndTheDescriptionAsTheyAre) {
  struct Case {
    bool hex, kosinski;
    const char* offset;
    const char* description;
    const char* entry;
  };
  for (const auto& c : {Case{false, false, "-1", "", "FFFFFFFF - <N> - "},
                        Case{true, true, "0", "Digite a descrição dos dados ", "00000000 - <K> - Digite a descrição dos dados "},
                        Case{true, true, "10", "the \"best\" art", "00000010 - <K> - the 'best' art"}}) {
    testing::TempDir scratch;
    testing::FormFixture g;
    g.programDirectory.directory = scratch.path();
    g.romList.SetSelectedIndex(8);
    (c.hex ? g.optHex : g.optDec).Select();
    (c.kosinski ? g.optKos : g.optNem).Select();
    g.displayLoc2.SetText(c.offset);
    g.descLoc.SetText(c.description);
    AddLoc_Click(g.form);
    EXPECT_EQ(LoadCatalogue(scratch / "Custom.dat").entries, Entries{c.entry});
  }
}

TEST_F(Catalogue, AnAddThatCannotBeMadeChangesNeitherListNorFile) {
  WriteCatalogue("Sonic1", kThree);
  ChooseRom(0);
  const Bytes before = ReadFile(dir / "Sonic1.dat");
  f.displayLoc2.SetText("xyz");
  f.form.state.DataOffset = 5;
  AddLoc_Click(f.form);
  EXPECT_EQ(f.form.state.DataOffset, 5);
  f.displayLoc2.SetText("10");
  fs::rename(dir.path(), dir.path().string() + "-moved");  // the folder is gone
  AddLoc_Click(f.form);
  fs::rename(dir.path().string() + "-moved", dir.path());
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{Info(kInvalidOffsetMessage), Info(kInvalidOffsetMessage)}));
  EXPECT_EQ(Listed(), kThree);
  EXPECT_EQ(ReadFile(dir / "Sonic1.dat"), before);
}

TEST_F(Catalogue, AnAddWhoseFileCannotBeWrittenLeavesTheListAsTheFile) {
  WriteCatalogue("Sonic1", kThree);
  ChooseRom(0);
  f.displayLoc2.SetText("10");
  {
    testing::FileSizeLimit limit(10);  // the new file cannot be written whole
    AddLoc_Click(f.form);
  }
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Info(kInvalidOffsetMessage)});
  EXPECT_EQ(Listed(), kThree);
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, kThree);
}

// Another program changed the file after it was loaded: nothing is applied, the list
// shows the file again, and the entry that was selected stays selected.
TEST_F(Catalogue, AChangeMadeElsewhereReloadsTheListAndAppliesNothing) {
  const Entries changed = {kThree[0], "00000020 - <N> - added elsewhere", kThree[1], kThree[2]};
  for (const bool adding : {true, false}) {
    WriteCatalogue("Sonic1", kThree);
    ChooseRom(0);
    f.compList.SetSelectedIndex(1);
    WriteCatalogue("Sonic1", changed);
    f.messages.shown.clear();
    adding ? AddLoc_Click(f.form) : DelLoc_Click(f.form);
    EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, changed);
    EXPECT_EQ(Listed(), changed);
    EXPECT_EQ(f.compList.SelectedIndex(), 2);
    EXPECT_EQ(f.messages.shown.back(), Info(kCatalogueChangedMessage));
    EXPECT_EQ(f.messages.shown.size(), adding ? 1u : 2u);  // a removal asks first
  }
}

TEST_F(Catalogue, AFullCatalogueTakesNoMoreEntries) {
  ChooseRom(8);
  for (std::size_t i = 0; i < kMaxCatalogueEntries; ++i) f.compList.Append("00000000 - <K> - x");
  f.displayLoc2.SetText("10");
  AddLoc_Click(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Info(kInvalidOffsetMessage)});
  EXPECT_EQ(f.compList.Count(), static_cast<int>(kMaxCatalogueEntries));
  EXPECT_FALSE(fs::exists(dir / "Custom.dat"));
}

TEST_F(Catalogue, ACatalogueThatCouldNotBeReadIsNeverRewritten) {
  fs::create_directory(dir / "Sonic1.dat");  // exists, cannot be read as a file
  ChooseRom(0);
  f.compList.Append("00000010 - <K> - typed");
  f.compList.SetSelectedIndex(0);
  f.messages.shown.clear();
  AddLoc_Click(f.form);
  DelLoc_Click(f.form);
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{Info(kInvalidOffsetMessage), Info(kSelectEntryMessage)}));
  EXPECT_TRUE(fs::is_directory(dir / "Sonic1.dat"));

  WriteCatalogue("Sonic2", kThree);  // a later good load allows changes again
  ChooseRom(3);
  f.messages.shown.clear();
  AddLoc_Click(f.form);
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_EQ(LoadCatalogue(dir / "Sonic2.dat").entries.size(), 4u);
}

TEST_F(Catalogue, RemoveWithNothingSelectedAsksNothing) {
  ChooseRom(8);
  DelLoc_Click(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Info(kSelectEntryMessage)});
}

TEST_F(Catalogue, RemoveAnsweredNoChangesNothing) {
  WriteCatalogue("Sonic1", kThree);
  ChooseRom(0);
  f.compList.SetSelectedIndex(2);
  f.messages.answers = {MessageAnswer::No};
  DelLoc_Click(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{kConfirmRemoval});
  EXPECT_EQ(Listed(), kThree);
  EXPECT_EQ(f.compList.SelectedIndex(), 2);
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, kThree);
}

struct RemoveCase {
  const char* name;
  int count, removed, selectedAfter;
};

class Removal : public Catalogue, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(Removal, SelectsTheEntryNowInItsPlaceOrTheNewLast) {
  const auto& c = GetParam();
  Entries entries;
  for (int i = 0; i < c.count; ++i) entries.push_back("0000000" + std::to_string(i + 1) + " - <N> - entry");
  WriteCatalogue("Sonic1", entries);
  ChooseRom(0);
  f.compList.SetSelectedIndex(c.removed);
  f.messages.shown.clear();
  DelLoc_Click(f.form);
  entries.erase(entries.begin() + c.removed);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{kConfirmRemoval});
  EXPECT_EQ(Listed(), entries);
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, entries);
  EXPECT_EQ(f.compList.SelectedIndex(), c.selectedAfter);
  if (c.selectedAfter >= 0)
    EXPECT_EQ(f.displayLoc.Text(), std::string(1, entries[static_cast<std::size_t>(c.selectedAfter)][7]));
  else
    EXPECT_EQ(f.displayLoc.Text(), std::to_string(c.removed + 1));  // the removed entry's offset stays
}

INSTANTIATE_TEST_SUITE_P(Positions, Removal,
                         ::testing::Values(RemoveCase{"MiddleOfFour", 4, 1, 1}, RemoveCase{"LastOfFour", 4, 3, 2},
                                           RemoveCase{"FirstOfTwo", 2, 0, 0}, RemoveCase{"OnlyOne", 1, 0, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Catalogue, RemovingTheOnlyEntryLeavesAnEmptyFile) {
  WriteCatalogue("Sonic1", {kThree[0]});
  ChooseRom(0);
  DelLoc_Click(f.form);
  EXPECT_EQ(fs::file_size(dir / "Sonic1.dat"), 0u);
}

TEST_F(Catalogue, ARemovalThatCannotBeSavedKeepsTheFileAndTheList) {
  WriteCatalogue("Sonic1", kThree);
  ChooseRom(0);
  fs::rename(dir.path(), dir.path().string() + "-moved");
  DelLoc_Click(f.form);
  fs::rename(dir.path().string() + "-moved", dir.path());
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{kConfirmRemoval, Info(kSelectEntryMessage)}));
  EXPECT_EQ(Listed(), kThree);
  EXPECT_EQ(f.compList.SelectedIndex(), 0);
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, kThree);
}

}  // namespace
}  // namespace quarvel
