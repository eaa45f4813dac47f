#include "catalogue/catalogue_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "catalogue/windows1252.h"
#include "support/bytes.h"
#include "support/process.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Hex;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Entries = std::vector<std::string>;

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct ReadCase {
  const char* name;
  const char* file;
  Entries entries;
};

class ReadRecords : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadRecords, GivesTheEntries) { EXPECT_EQ(ParseCatalogue(Text(GetParam().file)), GetParam().entries); }

INSTANTIATE_TEST_SUITE_P(
    Files, ReadRecords,
    ::testing::Values(
        ReadCase{"Empty", "", {}},
        ReadCase{"ThreeRecords", "\"a 1\"\r\n\"b 2\"\r\n\"c 3\"\r\n", {"a 1", "b 2", "c 3"}},
        ReadCase{"QuotedComma", "\"0001A2B0 - <K> - Rings, big\"\r\n", {"0001A2B0 - <K> - Rings, big"}},
        ReadCase{"UnquotedComma", "1A2B - <K> - one,   two\r\n", {"1A2B - <K> - one", "two"}},
        ReadCase{"BlanksBeforeARecord", "   \"a\"\r\n\t\"b\"", {"a", "b"}},
        ReadCase{"NoFinalLineEnd", "\"a\"\r\n\"b\"", {"a", "b"}},
        ReadCase{"LoneLineEnds", "\"a\"\n\"b\"\r\"c\"\r\n", {"a", "b", "c"}},
        ReadCase{"BlankLinesHoldNoRecord", "\r\n\"a\"\r\n\r\n   \r\n\n\"b\"\r\n", {"a", "b"}},
        ReadCase{"TextAfterTheClosingQuoteIsDropped", "\"a\" junk\r\n\"b\",\"c\"\r\n", {"a", "b", "c"}},
        ReadCase{"UnterminatedQuoteEndsWithItsLine", "\"a\"\r\n\"b, c\r\nd\r\n\"e\n", {"a", "b, c", "d", "e"}},
        ReadCase{"UnquotedTrailingBlanksDropped", "abc   \r\n", {"abc"}},
        ReadCase{"EmptyQuotedRecordKept", "\"\"\r\n", {""}},
        ReadCase{"QuoteInsideUnquoted", "ab\"c\r\n", {"ab\"c"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadRecords, AnyBytesGiveSomeList) {
  Bytes all;
  for (int round = 0; round < 4; ++round)
    for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<std::uint8_t>(byte * 7 + round));
  for (std::size_t size = 0; size <= all.size(); size += 37) ParseCatalogue(std::span(all).first(size));
}

TEST(WriteRecords, QuotesEachEntryAndEndsItWithCrLf) {
  EXPECT_EQ(SerializeCatalogue({}), Bytes{});
  EXPECT_EQ(SerializeCatalogue({"a", "", "say \"hi\""}), Text("\"a\"\r\n\"\"\r\n\"say 'hi'\"\r\n"));
}

// Every byte but the three that a record cannot hold, and the window's Portuguese
// texts, through save and load, against the bytes written out by hand.
TEST(CatalogueRoundTrip, EveryWindows1252CharacterKeepsItsByte) {
  Bytes every;
  for (int byte = 1; byte < 256; ++byte)
    if (byte != '"' && byte != '\r' && byte != '\n') every.push_back(static_cast<std::uint8_t>(byte));
  const std::string everyText = Windows1252ToUtf8(every);
  const Entries entries = {"00000000 - <K> - Digite a descrição dos dados ",
                           "0001A2B0 - <N> - Localização à mão, ção ü € …", everyText};
  const Bytes expected = testing::Concat(
      testing::Concat(Hex("22 30 30 30 30 30 30 30 30 20 2D 20 3C 4B 3E 20 2D 20 44 69 67 69 74 65 20 61 20 64 65 73 63 "
                          "72 69 E7 E3 6F 20 64 6F 73 20 64 61 64 6F 73 20 22 0D 0A"),
                      Hex("22 30 30 30 31 41 32 42 30 20 2D 20 3C 4E 3E 20 2D 20 4C 6F 63 61 6C 69 7A 61 E7 E3 6F 20 E0 "
                          "20 6D E3 6F 2C 20 E7 E3 6F 20 FC 20 80 20 85 22 0D 0A")),
      testing::Concat(testing::Concat(Hex("22"), every), Hex("22 0D 0A")));

  TempDir dir;
  ASSERT_TRUE(SaveCatalogue(dir / "Custom.dat", entries));
  EXPECT_EQ(ReadFile(dir / "Custom.dat"), expected);
  const auto load = LoadCatalogue(dir / "Custom.dat");
  EXPECT_EQ(load.status, CatalogueLoad::Status::Loaded);
  EXPECT_EQ(load.entries, entries);
  ASSERT_TRUE(SaveCatalogue(dir / "Custom.dat", load.entries));
  EXPECT_EQ(ReadFile(dir / "Custom.dat"), expected);
}

TEST(LoadCatalogue, TellsMissingFromUnreadable) {
  TempDir dir;
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").status, CatalogueLoad::Status::Missing);
  WriteFile(dir / "Sonic1.dat", {});
  const auto empty = LoadCatalogue(dir / "Sonic1.dat");
  EXPECT_EQ(empty.status, CatalogueLoad::Status::Loaded);
  EXPECT_TRUE(empty.entries.empty());
  fs::create_directory(dir / "Sonic2.dat");
  EXPECT_EQ(LoadCatalogue(dir / "Sonic2.dat").status, CatalogueLoad::Status::Failed);
}

using testing::FileSizeLimit;

TEST(SaveCatalogue, AWriteThatFailsPartWayLeavesTheOldCatalogue) {
  TempDir dir;
  const Entries old = {"00000010 - <K> - old one", "00000020 - <N> - old two"};
  ASSERT_TRUE(SaveCatalogue(dir / "Sonic1.dat", old));
  const Entries bigger(200, "00001000 - <K> - a longer catalogue than the file system takes");
  {
    FileSizeLimit limit(1000);
    EXPECT_FALSE(SaveCatalogue(dir / "Sonic1.dat", bigger));
  }
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, old);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"Sonic1.dat"});
  // Nor is a catalogue saved that would be too large to read back.
  const auto tooLarge = SaveCatalogue(dir / "Sonic1.dat", Entries(70, std::string(130'000, 'x')));
  ASSERT_FALSE(tooLarge);
  EXPECT_NE(tooLarge.error().message.find("more than the 8 MiB a catalogue file is read up to"), std::string::npos);
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, old);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"Sonic1.dat"});
}

TEST(SaveCatalogue, AFolderThatCannotBeWrittenFailsAtTheFirstStep) {
  TempDir dir;
  EXPECT_FALSE(CatalogueWriter::Begin(dir / "missing" / "Sonic1.dat"));
  EXPECT_FALSE(CatalogueWriter::Begin("/proc/Sonic1.dat"));  // no files can be made there
  EXPECT_FALSE(SaveCatalogue("/proc/Sonic1.dat", {"00000010 - <K> - a"}));
  EXPECT_TRUE(dir.List().empty());
}

// A change of a catalogue whose file or lock file is not a plain file of the user's own:
// refused, naming why, with every file as it was and nothing made through a link.
struct UnsafeCase {
  const char* name;
  std::function<bool(const TempDir&)> arrange;  // false: the case needs root
  bool asAnotherUser;
  const char* messagePart;
};

class UnsafeCatalogue : public ::testing::TestWithParam<UnsafeCase> {};

TEST_P(UnsafeCatalogue, IsNotChanged) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  WriteFile(dir / "victim", Hex("AA BB"));
  if (!GetParam().arrange(dir)) GTEST_SKIP() << "needs root";
  const auto before = dir.List();
  const auto add = [&] {
    auto edit = CatalogueEdit::Begin(dir / "Custom.dat");
    const auto saved = edit ? edit->Save({"00000010 - <K> - new"}) : FileResult<void>(Fail(edit.error()));
    return !saved && saved.error().message.find(GetParam().messagePart) != std::string::npos;
  };
  EXPECT_TRUE(GetParam().asAnotherUser ? testing::AsAnotherUser(add) : add());
  EXPECT_EQ(dir.List(), before);
  EXPECT_EQ(ReadFile(dir / "victim"), Hex("AA BB"));
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

bool Root() { return geteuid() == 0; }

INSTANTIATE_TEST_SUITE_P(
    Files, UnsafeCatalogue,
    ::testing::Values(
        UnsafeCase{"ADanglingLockLink",
                   [](const TempDir& d) { return fs::create_symlink(d / "nowhere", d / ".Custom.dat.lock"), true; },
                   false, ".Custom.dat.lock' is a symbolic link; it is not followed"},
        UnsafeCase{"ALockLinkToAFile",
                   [](const TempDir& d) { return fs::create_symlink(d / "victim", d / ".Custom.dat.lock"), true; },
                   false, "is a symbolic link"},
        UnsafeCase{"ALockThatIsAFifo",
                   [](const TempDir& d) { return mkfifo((d / ".Custom.dat.lock").c_str(), 0666) == 0; }, false,
                   ".Custom.dat.lock' is not a regular file"},
        UnsafeCase{"ACatalogueThatIsAFifo", [](const TempDir& d) { return mkfifo((d / "Custom.dat").c_str(), 0666) == 0; },
                   false, "Custom.dat': it is not a regular file"},
        UnsafeCase{"ALockTheUserMayNotOpen",  // in a folder the user may write
                   [](const TempDir& d) {
                     WriteFile(d / ".Custom.dat.lock", {});
                     fs::permissions(d / ".Custom.dat.lock", fs::perms::owner_read);
                     return Root();
                   },
                   true, "cannot open the lock file"},
        UnsafeCase{"ALinkOfAnotherUser",
                   [](const TempDir& d) {
                     fs::create_symlink(d / "victim", d / "Custom.dat");
                     return Root() && lchown((d / "Custom.dat").c_str(), 1234, 1234) == 0;
                   },
                   false, "Custom.dat' is a symbolic link, and it or what it leads to belongs to another user"},
        UnsafeCase{"ALinkToAnotherUsersFile",
                   [](const TempDir& d) {
                     fs::create_symlink(d / "victim", d / "Custom.dat");
                     return Root() && chown((d / "victim").c_str(), 1234, 1234) == 0;
                   },
                   false, "belongs to another user"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveCatalogue, FollowsALinkOfTheUsersOwn) {
  TempDir dir;
  fs::create_directory(dir / "mine");
  fs::create_symlink(dir / "mine" / "Custom.dat", dir / "Custom.dat");
  const auto saved = SaveCatalogue(dir / "Custom.dat", {"00000010 - <K> - a"});
  ASSERT_TRUE(saved) << saved.error().message;
  EXPECT_TRUE(fs::is_symlink(dir / "Custom.dat"));
  EXPECT_EQ(LoadCatalogue(dir / "mine" / "Custom.dat").entries, Entries{"00000010 - <K> - a"});
}

// A program folder the user may write keeps the catalogues; an installed program, or
// one whose folder the user may not write, keeps them in the user's data folder, and
// reads the shipped ones there until the first change makes the user's own. The user's
// data folder is "share/quarvel" of the program's own prefix, as for one installed in ~/.local.
TEST(CatalogueLocation, FollowsWhereTheProgramIs) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  const fs::path user = dir / "usr" / "share" / "quarvel";
  const fs::path shipped = user / "catalogues";
  fs::create_directories(dir / "portable");
  fs::permissions(dir / "portable", fs::perms::all);
  EXPECT_EQ(LocateCatalogues(dir / "portable", user).folder, dir / "portable");

  fs::create_directories(dir / "usr" / "bin");
  fs::create_directories(shipped);
  ASSERT_TRUE(SaveCatalogue(shipped / "Custom.dat", {"00000400 - <N> - shipped"}));
  const auto installed = LocateCatalogues(dir / "usr" / "bin", user);
  EXPECT_EQ(installed.folder, user);
  EXPECT_TRUE(installed.userData);
  EXPECT_EQ(CatalogueToRead(installed, "Custom"), shipped / "Custom.dat");
  {
    auto edit = CatalogueEdit::Begin(installed, "Custom");
    ASSERT_TRUE(edit);
    ASSERT_TRUE(edit->Save({"00000400 - <N> - shipped", "00000800 - <K> - mine"}));
  }
  EXPECT_EQ(LoadCatalogue(user / "Custom.dat").entries.size(), 2u);
  EXPECT_EQ(LoadCatalogue(shipped / "Custom.dat").entries.size(), 1u);
  EXPECT_EQ(CatalogueToRead(installed, "Custom"), user / "Custom.dat");

  // A folder the user may not write: the catalogues beside the program are read until
  // the first change (run as "nobody" where the tests run as root).
  fs::create_directories(dir / "closed");
  ASSERT_TRUE(SaveCatalogue(dir / "closed" / "Sonic1.dat", {"00000010 - <K> - beside"}));
  fs::permissions(dir / "closed", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
  EXPECT_TRUE(testing::AsAnotherUser([&] {
    const auto closed = LocateCatalogues(dir / "closed", user);
    return closed.folder == user && CatalogueToRead(closed, "Sonic1") == dir / "closed" / "Sonic1.dat";
  }));
  fs::permissions(dir / "closed", fs::perms::all);
  if (geteuid() == 0) {  // the administrator keeps out of another user's folder
    ASSERT_EQ(chown((dir / "closed").c_str(), 1234, 1234), 0);
    EXPECT_EQ(LocateCatalogues(dir / "closed", user).folder, user);
  }

  // No data folder (HOME not set): no catalogue is read or written anywhere else.
  const auto homeless = LocateCatalogues(dir / "usr" / "bin", {});
  EXPECT_TRUE(homeless.folder.empty());
  EXPECT_EQ(homeless.problem, "there is no folder for your catalogues: HOME is not set (set it, or name a folder with "
                              "--catalogue-dir)");
  const auto edit = CatalogueEdit::Begin(homeless, "Custom");
  ASSERT_FALSE(edit);
  EXPECT_EQ(edit.error().message, homeless.problem);
}

}  // namespace
}  // namespace quarvel
