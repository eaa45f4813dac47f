// Real ROM images as users have them: what `info` says of them, and interleaved dumps.
#include <gtest/gtest.h>

#include "common/md5.h"

#include "rom/rom_image.h"
#include "run_cli.h"
#include "support/bytes.h"
#include "support/rom_header.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

testing::CliRun Cli(std::vector<std::string> args) { return testing::RunCliWith(std::move(args)); }

// The header's checksum made right.
Bytes Fixed(Bytes image) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0x200; i + 1 < image.size(); i += 2) sum = static_cast<std::uint16_t>(sum + (image[i] << 8 | image[i + 1]));
  image[0x18E] = static_cast<std::uint8_t>(sum >> 8), image[0x18F] = static_cast<std::uint8_t>(sum);
  return image;
}

TEST(CliInfo, SaysWhatTheHeaderHoldsAndWhichRomItIs) {
  testing::TempDir dir;
  const Bytes sonic1 = testing::WithHeader(512 << 10, "GM 00001009-00", 0x264A);
  struct Row {
    const char* name;
    Bytes image;
    std::vector<std::string> said;
  } rows[] = {
      {"unknown, checksum right", Fixed(testing::WithHeader(256 << 10, "GM 00000000-00", 0)),
       {"serial:         GM 00000000-00 (revision 00)\n", ": correct\n", "interleaved:    no\n", "catalogue:      none: an unknown image\n"}},
      {"checksum wrong", testing::WithHeader(256 << 10, "GM 00000000-00", 0x1234), {"0x1234 stored", ": wrong\n"}},
      {"serial, size and checksum", sonic1,
       {"size:           524288 bytes\n", "catalogue:      probably Sonic 1 (Sonic1) (its serial, size and stored checksum; not its MD5)\n"}},
      {"interleaved", testing::Interleaved(sonic1),
       {"interleaved:    yes (.smd), read de-interleaved\n", "catalogue:      probably Sonic 1 (Sonic1)"}},
      {"Sonic 2's serial, size and checksum", testing::WithHeader(1 << 20, "GM 00001051-01", 0xD951),
       {"catalogue:      probably Sonic 2 (Sonic2) (its serial, size and stored checksum; not its MD5)\n"}},
      {"one header, 2 MiB", testing::WithHeader(2 << 20, "GM MK-1563 -00", 0xDFB3), {"probably Sonic & Knuckles (SonicK)"}},
      {"one header, 4 MiB", testing::WithHeader(4 << 20, "GM MK-1563 -00", 0xDFB3), {"probably Sonic 3 & Knuckles (Sonic3K)"}},
      {"changed", testing::ChangedKnownRom("Sonic1", 1),
       {"catalogue:      a changed Sonic 1 (revision 00): 178 of 179 known blocks in place\n"}},
      {"no header", testing::ReadFile(fs::path(QUARVEL_BIN_DIR) / "demo.bin"),
       {"header:         none (no \"SEGA\" at 0x100)\nsize:           32768 bytes\nmd5:            " +
            Md5Text(testing::ReadFile(fs::path(QUARVEL_BIN_DIR) / "demo.bin")) + "\n",
        "catalogue:      none: an unknown image\n"}},
  };
  for (const auto& row : rows) {
    const fs::path rom = dir.path() / "rom.bin";
    testing::WriteFile(rom, row.image);
    const auto run = Cli({"info", rom.string()});
    EXPECT_EQ(run.code, 0) << row.name << ": " << run.err;
    for (const auto& said : row.said) EXPECT_NE(run.out.find(said), std::string::npos) << row.name << ":\n" << run.out;
  }
}

// Without --catalogue, the catalogue of the ROM that info names, said on standard error.
TEST(CliExtract, TakesTheCatalogueOfTheRomInfoNames) {
  testing::TempDir dir;
  const fs::path rom = dir.path() / "s1.bin";
  testing::WriteFile(rom, testing::ChangedKnownRom("Sonic1"));
  const auto run = Cli({"extract", rom.string(), (dir.path() / "out").string(), "--catalogue-dir", QUARVEL_BIN_DIR});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "quarvel-cli: using the catalogue 'Sonic 1' (Sonic1): a changed Sonic 1 (revision 00), 179 of 179 known "
                     "blocks in place\n");
  EXPECT_NE(run.out.find("179 entries: 179 extracted, 0 failed\n"), std::string::npos) << run.out;
}

// The demo image with a header, and its dump: every command reads the dump as the
// image, says so once, and writes a plain image when it writes one.
TEST(CliInterleaved, ReadsADumpAsThePlainImage) {
  testing::TempDir dir;
  Bytes plain = testing::ReadFile(fs::path(QUARVEL_BIN_DIR) / "demo.bin");
  std::memcpy(plain.data() + 0x100, "SEGA MEGA DRIVE ", 16);
  FixChecksum(plain);
  const fs::path plainPath = dir.path() / "demo.bin", dumpPath = dir.path() / "demo.smd";
  testing::WriteFile(plainPath, plain);
  testing::WriteFile(dumpPath, testing::Interleaved(plain));
  const std::string note = "quarvel-cli: '" + dumpPath.string() + "' is an interleaved (.smd) dump: read de-interleaved\n";
  const std::vector<std::vector<std::string>> commands = {
      {"decompress", "-f", "nemesis", "-o", "400", "ROM", "-"},
      {"decompress", "-f", "kosinski-moduled", "-o", "3000", "ROM", "-"},
      {"scan", "ROM", "--json"},
      {"checksum", "ROM"},
      {"checksum", "ROM", "--fix", "-"},
      {"insert", "-f", "kosinski", "-o", "6000", "ROM", "DATA", "-", "--catalogue", "Custom"},
  };
  testing::WriteFile(dir.path() / "data.bin", Bytes(100, 'x'));
  for (const auto& command : commands) {
    std::vector<testing::CliRun> runs;
    for (const fs::path& rom : {plainPath, dumpPath}) {
      auto args = command;
      for (auto& arg : args) {
        if (arg == "ROM") arg = rom.string();
        if (arg == "DATA") arg = (dir.path() / "data.bin").string();
      }
      runs.push_back(Cli(args));
    }
    EXPECT_EQ(runs[1].code, 0) << command[0] << ": " << runs[1].err;
    EXPECT_EQ(runs[1].code, runs[0].code) << command[0];
    std::string out = runs[1].out;
    for (std::size_t at; (at = out.find("demo.smd")) != std::string::npos;) out.replace(at, 8, "demo.bin");
    EXPECT_EQ(out, runs[0].out) << command[0];
    EXPECT_EQ(runs[1].err.substr(0, note.size()), note) << command[0];
    const bool writesRom = command[0] == "insert" || (command.size() > 2 && command[2] == "--fix");
    EXPECT_EQ(runs[1].err.find("wrote a plain image (not interleaved).") != std::string::npos, writesRom) << command[0];
  }
}

}  // namespace
}  // namespace quarvel
