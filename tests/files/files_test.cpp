#include "files/files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <chrono>
#include <functional>

#include "support/bytes.h"
#include "support/process.h"

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
  if (geteuid() == 0) {  // owner and group are kept where the user may set them
    ASSERT_EQ(chown((dir / "old.dat").c_str(), 1234, 4321), 0);
    EXPECT_TRUE(ReplaceFileContents(dir / "old.dat", Hex("02")));
    struct stat info{};
    ASSERT_EQ(stat((dir / "old.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 4321u);
  }
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

// What must never be replaced, each left exactly as it was, with nothing made beside it.
struct RefusedCase {
  const char* name;
  std::function<fs::path(const TempDir&, ProtectedFiles&, ReplaceOptions&)> arrange;  // gives the destination
  const char* messagePart;
};

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, LeavesEverythingAsItWas) {
  TempDir dir;
  WriteFile(dir / "rom.bin", Hex("AA BB"));
  ProtectedFiles protect;
  ReplaceOptions options{&protect};
  const fs::path destination = GetParam().arrange(dir, protect, options);
  if (destination.empty()) GTEST_SKIP() << "needs root";
  const auto before = dir.List();
  const auto written = ReplaceFileContents(destination, Hex("01"), options);
  ASSERT_FALSE(written);
  EXPECT_NE(written.error().message.find(GetParam().messagePart), std::string::npos) << written.error().message;
  EXPECT_EQ(ReadFile(dir / "rom.bin"), Hex("AA BB"));
  EXPECT_EQ(dir.List(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, Refused,
    ::testing::Values(
        RefusedCase{"TheInputUnderAnotherName",
                    [](const TempDir& d, ProtectedFiles& p, ReplaceOptions&) {
                      p.Add(d / "rom.bin", "the ROM image itself");
                      fs::create_hard_link(d / "rom.bin", d / "hard.bin");
                      return d / "hard.bin";
                    },
                    "hard.bin' is the ROM image itself; it is never written"},
        RefusedCase{"TheInputThroughALink",
                    [](const TempDir& d, ProtectedFiles& p, ReplaceOptions&) {
                      p.Add(IdentityOf(d / "rom.bin"), "the file read from standard input");
                      fs::create_symlink(d / "rom.bin", d / "link.png");
                      return d / "link.png";
                    },
                    "is the file read from standard input"},
        RefusedCase{"AProtectedNameNotMadeYet",
                    [](const TempDir& d, ProtectedFiles& p, ReplaceOptions&) {
                      p.AddNames(d.path(), {"Custom.dat"}, "a catalogue file");
                      return d / "custom.DAT";
                    },
                    "is a catalogue file"},
        RefusedCase{"AFifo",
                    [](const TempDir& d, ProtectedFiles&, ReplaceOptions&) {
                      mkfifo((d / "pipe").c_str(), 0644);
                      return d / "pipe";
                    },
                    "is not a regular file; only a regular file or a new name is replaced"},
        RefusedCase{"ASocket",
                    [](const TempDir& d, ProtectedFiles&, ReplaceOptions&) {
                      sockaddr_un address{};
                      address.sun_family = AF_UNIX;
                      const std::string path = (d / "sock").string();
                      path.copy(address.sun_path, sizeof address.sun_path - 1);
                      const int s = socket(AF_UNIX, SOCK_STREAM, 0);
                      bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
                      close(s);
                      return d / "sock";
                    },
                    "is not a regular file"},
        RefusedCase{"ADevice",
                    [](const TempDir& d, ProtectedFiles&, ReplaceOptions&) {
                      if (mknod((d / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) return fs::path();
                      return d / "full";
                    },
                    "is not a regular file"},
        RefusedCase{"ALinkWhereLinksAreNotFollowed",
                    [](const TempDir& d, ProtectedFiles&, ReplaceOptions& o) {
                      o.links = LinkRule::Refuse;
                      WriteFile(d / "elsewhere.txt", Hex("AA BB"));
                      fs::create_symlink(d / "elsewhere.txt", d / "entry.dat");
                      return d / "entry.dat";
                    },
                    "entry.dat' is a symbolic link"}),
    [](const auto& info) { return std::string(info.param.name); });

// Permissions bind: run as another user than the files' owner (as "nobody" when the
// tests run as root).
TEST(ReplaceFileContents, RefusesWhatTheUserMayNotWrite) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  fs::create_directory(dir / "closed");
  WriteFile(dir / "readonly.dat", Hex("AA"));
  fs::permissions(dir / "readonly.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  if (geteuid() == 0) {
    ASSERT_EQ(chown((dir / "readonly.dat").c_str(), testing::kOtherUser, testing::kOtherUser), 0);
  }
  WriteFile(dir / "others.dat", Hex("BB"));  // another user's, readable by all
  struct Case {
    fs::path destination;
    const char* messagePart;
  };
  for (const auto& c : {Case{dir / "readonly.dat", "readonly.dat' may not be written by this user; it is left as it is"},
                        Case{dir / "others.dat", "may not be written by this user"},
                        Case{dir / "closed" / "new.dat", "closed' is not writable"}}) {
    if (geteuid() != 0 && c.destination.filename() == "others.dat") continue;  // needs a second user
    EXPECT_TRUE(testing::AsAnotherUser([&] {
      const auto written = ReplaceFileContents(c.destination, Hex("01"));
      return !written && written.error().message.find(c.messagePart) != std::string::npos;
    })) << c.destination;
  }
  EXPECT_EQ(ReadFile(dir / "readonly.dat"), Hex("AA"));
  EXPECT_EQ(ReadFile(dir / "others.dat"), Hex("BB"));
  EXPECT_TRUE(fs::is_empty(dir / "closed"));
}

TEST(ReplaceFileContents, TemporaryFilesKeepToTheNameLimitAndOnlyThoseAKilledRunLeftGo) {
  TempDir dir;
  const std::string longName(250, 'n');
  EXPECT_TRUE(ReplaceFileContents(dir / longName, Hex("01")));
  const auto made = [&](const std::string& name, int minutesAgo) {
    WriteFile(dir / name, Hex("05"));
    fs::last_write_time(dir / name, fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    return name;
  };
  made(".old.dat.tmp-999999999-0badf00d", 2);  // its process is gone: it goes
  // What stays: a save under way, one in another PID namespace (young), names that a
  // save does not make, a folder, a link, another user's file.
  made(".old.dat.tmp-" + std::to_string(getpid()) + "-12345678", 2);
  made(".old.dat.tmp-999999998-0badf00d", 0);
  made(".old.dat.tmp-99999-notes", 2);
  made(".old.dat.tmp-999999997-0badf00d0", 2);
  fs::create_directory(dir / ".old.dat.tmp-999999996-0badf00d");
  fs::create_symlink(dir / longName, dir / ".old.dat.tmp-999999995-0badf00d");
  if (geteuid() == 0) {
    ASSERT_EQ(chown((dir / made(".old.dat.tmp-999999994-0badf00d", 2)).c_str(), 1234, 1234), 0);
  }
  const auto before = dir.List();
  EXPECT_TRUE(ReplaceFileContents(dir / "old.dat", Hex("02")));
  std::vector<std::string> expected = before;
  std::erase(expected, ".old.dat.tmp-999999999-0badf00d");
  expected.push_back("old.dat");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.List(), expected);
}

TEST(ReadWholeFile, StopsAtItsLimit) {
  TempDir dir;
  WriteFile(dir / "four.bin", Hex("01 02 03 04"));
  EXPECT_EQ(*ReadWholeFile(dir / "four.bin", 4), Hex("01 02 03 04"));
  const auto larger = ReadWholeFile(dir / "four.bin", 3);
  ASSERT_FALSE(larger);
  EXPECT_NE(larger.error().message.find("four.bin' is larger than 3 bytes"), std::string::npos) << larger.error().message;
  const auto endless = ReadWholeFile("/dev/zero", 1 << 20);
  ASSERT_FALSE(endless);
  EXPECT_EQ(endless.error().message, "'/dev/zero' is larger than 1 MiB");
}

TEST(PathUtf8, RoundTripsNonAsciiNames) {
  const std::string name = "Sonic ção ü € 日本.bin";
  EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name);
}

}  // namespace
}  // namespace quarvel
