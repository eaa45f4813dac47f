#include "platform/files.h"

#include <gtest/gtest.h>

#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Hex;
using testing::ReadFile;
using testing::TempDir;
using testing::ToHex;
using testing::WriteFile;

TEST(ReplaceFileContents, CreatesAMissingFile) {
  TempDir dir;
  EXPECT_TRUE(ReplaceFileContents(dir / "new.dat", Hex("01 02")));
  EXPECT_EQ(ToHex(ReadFile(dir / "new.dat")), "01 02");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"new.dat"});
}

TEST(ReplaceFileContents, ReplacesALongerFileAndKeepsItsPermissions) {
  TempDir dir;
  WriteFile(dir / "old.dat", Hex("AA BB CC DD EE"));
  fs::permissions(dir / "old.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(ReplaceFileContents(dir / "old.dat", Hex("01")));
  EXPECT_EQ(ToHex(ReadFile(dir / "old.dat")), "01");
  EXPECT_EQ(fs::status(dir / "old.dat").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"old.dat"});
}

TEST(ReplaceFileContents, WritesThroughASymbolicLink) {
  TempDir dir;
  WriteFile(dir / "target.dat", Hex("AA BB"));
  fs::create_symlink(dir / "target.dat", dir / "link.dat");
  EXPECT_TRUE(ReplaceFileContents(dir / "link.dat", Hex("01")));
  EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
  EXPECT_EQ(ToHex(ReadFile(dir / "target.dat")), "01");
}

TEST(ReplaceFileContents, FailsWithoutLeavingAnything) {
  TempDir dir;
  EXPECT_FALSE(ReplaceFileContents(dir / "missing" / "x.dat", Hex("01")));
  fs::create_directory(dir / "folder");
  WriteFile(dir / "folder" / "inside", Hex("05"));
  EXPECT_FALSE(ReplaceFileContents(dir / "folder", Hex("01")));  // a folder is not replaced
  EXPECT_EQ(ToHex(ReadFile(dir / "folder" / "inside")), "05");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"folder"});
}

TEST(PathUtf8, RoundTripsNonAsciiNames) {
  const std::string name = "Sonic ção ü € 日本.bin";
  EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name);
}

}  // namespace
}  // namespace quarvel
