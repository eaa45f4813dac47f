#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>

#include "catalogue/catalogue_file.h"
#include "run_cli.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Concat;
using testing::Hex;
using testing::ReadFile;
using Entries = std::vector<std::string>;

class CliCatalogue : public ::testing::Test {
 protected:
  // Runs quarvel-cli with the catalogues in the scratch folder.
  testing::CliRun Cli(std::vector<std::string> args) {
    args.insert(args.end(), {"--catalogue-dir", dir_.path().string()});
    return testing::RunCliWith(std::move(args));
  }

  testing::TempDir dir_;
};

TEST_F(CliCatalogue, AddsListsAndRemoves) {
  EXPECT_EQ(Cli({"catalogue", "list", "Custom"}).out, "");
  auto run = Cli({"catalogue", "add", "Custom", "--offset", "1a2b0", "--format", "kosinski", "-d", "Anéis \"grandes\""});
  EXPECT_EQ(run.code, 0) << run.err;
  run = Cli({"catalogue", "add", "custom", "-o", "-1", "-r", "dec", "-f", "nemesis"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(LoadCatalogue(dir_ / "Custom.dat").entries,
            (Entries{"0001A2B0 - <K> - Anéis 'grandes'", "FFFFFFFF - <N> - "}));
  EXPECT_EQ(Cli({"catalogue", "list", "Custom"}).out, "1\t0001A2B0 - <K> - Anéis 'grandes'\n2\tFFFFFFFF - <N> - \n");
  const std::string edited = "\"00000010 - <K> - a\x1B]2;owned\x07 \x8D\"\r\n";  // by hand: ESC, BEL, RI
  testing::WriteFile(dir_ / "Sonic1.dat", Bytes(edited.begin(), edited.end()));
  EXPECT_EQ(testing::RunCliWith({"catalogue", "list", "Sonic1", "--catalogue-dir", dir_.path().string()}, {.out = true}).out,
            "1\t00000010 - <K> - a\\x1B]2;owned\\x07 \\u008D\n");  // a terminal obeys none of it

  run = Cli({"catalogue", "remove", "Custom", "1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(LoadCatalogue(dir_ / "Custom.dat").entries, Entries{"FFFFFFFF - <N> - "});
}

TEST_F(CliCatalogue, SaysWhatIsWrong) {
  ASSERT_TRUE(SaveCatalogue(dir_ / "Sonic1.dat", {"00000010 - <K> - a"}));
  testing::WriteFile(dir_ / "Sonic2.dat", Bytes(kCatalogueFileLimit + 1, 'x'));
  mkfifo((dir_ / "Sonic3.dat").c_str(), 0644);  // nobody writes it: reading it would wait for ever
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* errorPart;
  };
  for (const auto& c : {Case{{"catalogue", "list", "Sonic 4"}, 2, "there is no catalogue 'Sonic 4'; the catalogues are"},
                        Case{{"catalogue", "remove", "Sonic 1", "2"}, 1, "has 1 entries; there is no entry 2"},
                        Case{{"catalogue", "add", "Sonic1", "-o", "0x1G", "-f", "kosinski"}, 2, "'0x1G'"},
                        Case{{"catalogue", "add", "Sonic1", "-o", "10"}, 2, "--format"},
                        Case{{"extract", "--rom", "x.bin", "--catalogue", "Custom", "--out-dir", "o"}, 1,
                             "there is no catalogue file"},
                        Case{{"catalogue", "add", "Sonic1", "-o", "10", "-f", "kosinski", "-d", "Ωmega"}, 2,
                             "the description holds 'Ω', which a catalogue file (Windows-1252 text) cannot store"},
                        Case{{"catalogue", "add", "Sonic1", "-o", "10", "-f", "kosinski", "-d", "two\nlines"}, 2,
                             "the description holds a line break"},
                        Case{{"catalogue", "add", "Sonic1", "-o", "10", "-f", "kosinski", "-d", std::string(41, 'a')},
                             2, "the description has 41 characters; an entry holds at most 40"},
                        Case{{"catalogue", "add", "Sonic 2", "-o", "10", "-f", "kosinski"}, 1,
                             "Sonic2.dat' is larger than 8 MiB"},
                        Case{{"catalogue", "list", "Sonic 3"}, 1, "Sonic3.dat': it is not a regular file"},
                        Case{{"catalogue", "add", "Sonic 3", "-o", "10", "-f", "kosinski"}, 1,
                             "Sonic3.dat': it is not a regular file"},
                        Case{{"scan", (dir_ / "Sonic1.dat").string(), "--add-to", "Sonic1"}, 1,
                             "Sonic1.dat' is the ROM image itself; it is never written"}}) {
    const auto run = Cli(c.args);
    EXPECT_EQ(run.code, c.code) << c.args[1];
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
  }
  EXPECT_EQ(LoadCatalogue(dir_ / "Sonic1.dat").entries, Entries{"00000010 - <K> - a"});
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"Sonic1.dat", "Sonic2.dat", "Sonic3.dat"}));
}

TEST_F(CliCatalogue, ACatalogueThatCannotBeReadIsNotChanged) {
  fs::create_directory(dir_ / "Sonic2.dat");
  const auto run = Cli({"catalogue", "add", "Sonic 2", "-o", "10", "-f", "nemesis"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("cannot read the catalogue file"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_directory(dir_ / "Sonic2.dat"));
}

TEST_F(CliCatalogue, ParallelAddsKeepEveryEntry) {
  const std::string command = "for i in $(seq 40); do \"" QUARVEL_BIN_DIR "/quarvel-cli\" catalogue add Custom -o $i "
                              "-f kosinski --catalogue-dir '" + dir_.path().string() + "' & done; wait";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(LoadCatalogue(dir_ / "Custom.dat").entries.size(), 40u);
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"Custom.dat"});
}

// A ROM with a Kosinski block at 0x10 and a one-tile Nemesis block at 0x40.
TEST_F(CliCatalogue, ExtractsEveryEntryIntoItsOwnFile) {
  Bytes rom(0x60, 0xEE);
  const Bytes kosinski = Hex("17 00 61 62 63 00 F0 00");
  const Bytes nemesis = Hex("00 01 81 71 00 FF 00");
  std::copy(kosinski.begin(), kosinski.end(), rom.begin() + 0x10);
  std::copy(nemesis.begin(), nemesis.end(), rom.begin() + 0x40);
  testing::WriteFile(dir_ / "rom.bin", rom);
  ASSERT_TRUE(SaveCatalogue(dir_ / "Sonic1.dat", {"00000010 - <K> - Green Hill: art/1", "00000040 - <N> - Sonic ç",
                                                   "hand written", "00000050 - <K> - not a block",
                                                   "00000010 - <K> - Green Hill: art/1"}));

  const fs::path out = dir_ / "out" / "sub";
  fs::create_directories(out);  // with what a killed run left: it goes, once for the whole folder
  testing::WriteFile(out / ".x.dat.tmp-999999999-0badf00d", Hex("AA"));
  fs::last_write_time(out / ".x.dat.tmp-999999999-0badf00d", fs::file_time_type::clock::now() - std::chrono::minutes(2));
  const auto run = Cli({"extract", "--rom", (dir_ / "rom.bin").string(), "--catalogue", "Sonic 1", "--out-dir",
                        (dir_ / "out" / "sub").string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(testing::ToHex(ReadFile(out / "00000010_kosinski_Green_Hill_art_1.dat")), "61 62 63");
  EXPECT_EQ(ReadFile(out / "00000010_kosinski_Green_Hill_art_1_2.dat"), Hex("61 62 63"));
  EXPECT_EQ(ReadFile(out / fs::path(u8"00000040_nemesis_Sonic_ç.dat")), Bytes(32, 0x11));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);

  EXPECT_NE(run.out.find("[1/5] " + (out / "00000010_kosinski_Green_Hill_art_1.dat").string() + ": 3 bytes\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("[2/5] "), std::string::npos);
  EXPECT_NE(run.err.find("[3/5] entry 'hand written': not an entry of the form"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("[4/5] entry '00000050 - <K> - not a block': "), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("5 entries: 3 extracted, 2 failed (entry 3, 4)\n"), std::string::npos) << run.out;

  // A link in the folder is not followed out of it.
  testing::WriteFile(dir_ / "elsewhere.txt", Hex("AA"));
  fs::remove(out / "00000010_kosinski_Green_Hill_art_1.dat");
  fs::create_symlink(dir_ / "elsewhere.txt", out / "00000010_kosinski_Green_Hill_art_1.dat");
  const auto again = Cli({"extract", "--rom", (dir_ / "rom.bin").string(), "--catalogue", "Sonic 1", "--out-dir",
                          out.string()});
  EXPECT_NE(again.err.find("[1/5] entry '00000010 - <K> - Green Hill: art/1': '" +
                           (out / "00000010_kosinski_Green_Hill_art_1.dat").string() + "' is a symbolic link"),
            std::string::npos)
      << again.err;
  EXPECT_EQ(ReadFile(dir_ / "elsewhere.txt"), Hex("AA"));
}

}  // namespace
}  // namespace quarvel
