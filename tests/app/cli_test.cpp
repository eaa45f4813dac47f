#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/cli_commands.h"
#include "run_cli.h"
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

testing::CliRun Cli(std::vector<std::string> args) { return testing::RunCliWith(std::move(args)); }

class CliDecompress : public ::testing::Test {
 protected:
  // A Kosinski block at 0x10, behind filler.
  void SetUp() override { WriteFile(rom_, testing::Concat(testing::Bytes(16, 0xEE), Hex("17 00 61 62 63 00 F0 00"))); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  TempDir dir_;
  fs::path rom_ = dir_ / "rom.bin";
};

TEST_F(CliDecompress, WritesTheBlockToAFile) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"decompress", "--format", "kosinski", "--offset", "10", rom_.string(), Path("a.dat")},
           {"decompress", "-f", "Kosinski", "-o", "16", "--radix", "dec", rom_.string(), Path("a.dat")}}) {
    const auto run = Cli(args);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ToHex(ReadFile(dir_ / "a.dat")), "61 62 63");
  }
}

TEST_F(CliDecompress, WritesTheBlockToStandardOutput) {
  const auto run = Cli({"decompress", "--format", "kosinski", "--offset", "10", rom_.string(), "-"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "abc");
}

TEST_F(CliDecompress, TakesPathsWithAccentsAndBlanks) {
  const std::string source = Path("Sonic ção.bin");
  const std::string destination = Path("saída ü.dat");
  fs::copy_file(rom_, source);
  const auto run = Cli({"decompress", "--format", "kosinski", "--offset", "10", source, destination});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ToHex(ReadFile(destination)), "61 62 63");
}

struct FailingRun {
  const char* name;
  std::vector<std::string> options;  // before ROM and OUT
  int code;
  const char* errorPart;
};

class CliFailure : public CliDecompress, public ::testing::WithParamInterface<FailingRun> {};

TEST_P(CliFailure, ExplainsOnStandardErrorAndTouchesNoFile) {
  auto args = GetParam().options;
  args.push_back(rom_.string());
  args.push_back(Path("out.dat"));
  const auto run = Cli(args);
  EXPECT_EQ(run.code, GetParam().code);
  EXPECT_NE(run.err.find(GetParam().errorPart), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "out.dat"));
}

const std::vector<std::string> kKosinski{"decompress", "--format", "kosinski"};
std::vector<std::string> With(std::vector<std::string> more) {
  more.insert(more.begin(), kKosinski.begin(), kKosinski.end());
  return more;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliFailure,
    ::testing::Values(
        FailingRun{"OffsetNotHex", With({"--offset", "1G"}), 2, "'1G' is not a hexadecimal number"},
        FailingRun{"OffsetNotDecimal", With({"--offset", "1A", "--radix", "dec"}), 2, "'1A' is not a decimal number"},
        FailingRun{"OffsetTooLarge", With({"--offset", "100000000"}), 2, "does not fit in 32 bits"},
        FailingRun{"UnknownFormat", {"decompress", "--format", "lzss", "--offset", "0"}, 2, "lzss"},
        FailingRun{"NoOffsetIsOffset0", {"decompress", "--format", "kosinski"}, 1, "the block at 0x0 copies from before its start"},
        FailingRun{"UnknownRadix", With({"--offset", "0", "--radix", "oct"}), 2, "oct"},
        FailingRun{"OffsetBeyondTheEnd", With({"--offset", "18"}), 1,
                   "error: offset 0x18 is beyond the end of the file (24 bytes, last offset 0x17)"},
        FailingRun{"NegativeOffset", With({"--offset", "-3", "--radix", "dec"}), 1, "offset -3 is negative"},
        FailingRun{"Truncated", With({"--offset", "14"}), 1, "ends without its end marker at byte 0x18"},
        FailingRun{"NemesisTooManyTiles", {"decompress", "--format", "nemesis", "--offset", "0"}, 1,
                   "claims 28398 tiles; at most 8192"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliDecompress, DecodesNemesisToAFileAndToStandardOutput) {
  WriteFile(rom_, Hex("00 01  81 71 00  FF  00"));
  auto run = Cli({"decompress", "--format", "nemesis", "--offset", "0", rom_.string(), Path("tiles.dat")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_ / "tiles.dat"), testing::Bytes(32, 0x11));
  run = Cli({"decompress", "--format", "nemesis", "--offset", "0", rom_.string(), "-"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, std::string(32, '\x11'));
}

TEST_F(CliDecompress, AMissingRomIsNamed) {
  const auto run = Cli({"decompress", "--format", "kosinski", "--offset", "0", Path("nope.bin"), Path("out.dat")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("nope.bin"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir_ / "nope.bin"));
}

TEST_F(CliDecompress, RefusesToWriteOverTheRom) {
  const auto before = ReadFile(rom_);
  const auto run = Cli({"decompress", "--format", "kosinski", "--offset", "10", rom_.string(), rom_.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("is the ROM image itself"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(rom_), before);
}

// Commands whose output would land on a file they must never write: each fails with
// exit status 1 and says why, and the ROM image is as it was.
struct NeverReplaced {
  const char* name;
  std::vector<std::string> args;  // "ROM" and "OUT" stand for the scratch ROM image and the output
  const char* out;                // the output's name in the scratch folder; "" for the ROM itself
  bool romOnStandardInput;
  const char* errorPart;
};

class CliNeverReplaces : public CliDecompress, public ::testing::WithParamInterface<NeverReplaced> {};

TEST_P(CliNeverReplaces, TheRomOrAnyOtherProtectedFile) {
  const auto& c = GetParam();
  const fs::path out = std::string(c.out).empty() ? rom_ : dir_ / c.out;
  fs::create_symlink(rom_, dir_ / "link.png");
  mkfifo((dir_ / "fifo").c_str(), 0644);
  const auto before = ReadFile(rom_);
  std::vector<std::string> args;
  for (const auto& arg : c.args) args.push_back(arg == "ROM" ? rom_.string() : arg == "OUT" ? out.string() : arg);
  testing::CliRun run;
  if (c.romOnStandardInput) {
    testing::StandardInputFrom input(rom_);
    run = Cli(args);
  } else {
    run = Cli(args);
  }
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(rom_), before);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.png"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliNeverReplaces,
    ::testing::Values(
        NeverReplaced{"PreviewOverTheRom", {"preview", "-f", "kosinski", "-o", "10", "ROM", "OUT"}, "", false,
                      "rom.bin' is the ROM image itself; it is never written"},
        NeverReplaced{"PreviewThroughALinkToTheRom", {"preview", "-f", "kosinski", "-o", "10", "ROM", "OUT"},
                      "link.png", false, "link.png' is the ROM image itself"},
        NeverReplaced{"DecompressFromStandardInputOverIt", {"decompress", "-f", "kosinski", "-o", "10", "-", "OUT"}, "",
                      true, "rom.bin' is the file read from standard input"},
        NeverReplaced{"CompressFromStandardInputOverIt", {"compress", "-f", "kosinski", "-", "OUT"}, "", true,
                      "is the file read from standard input"},
        NeverReplaced{"DecompressIntoAFifo", {"decompress", "-f", "kosinski", "-o", "10", "ROM", "OUT"}, "fifo", false,
                      "fifo' is not a regular file; only a regular file or a new name is replaced (use '-'"}),
    [](const auto& info) { return std::string(info.param.name); });

// The catalogues, here in the scratch folder, are never an output, also before they exist.
TEST_F(CliDecompress, NeverWritesOverACatalogue) {
  std::ostringstream out, err;
  const int code = cli::Decompress(Format::Kosinski, {"10"}, {}, rom_.string(), Path("Sonic3K.dat"),
                                   {dir_.path(), std::nullopt, false, {}}, {out, err});
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.str().find("Sonic3K.dat' is a catalogue file of known locations; it is never written"), std::string::npos)
      << err.str();
  EXPECT_FALSE(fs::exists(dir_ / "Sonic3K.dat"));
}

// A wrong offset: the stream copies from before its start, after a literal or at once.
TEST_F(CliDecompress, ACopyBeforeTheStartFailsAndWritesNothing) {
  for (const auto& [stream, at] : {std::pair{"41 00  61  FE  00 F0 00", "0x3"}, std::pair{"00 00 00", "0x2"}}) {
    WriteFile(rom_, Hex(stream));
    const auto run = Cli({"decompress", "--format", "kosinski", "--offset", "0", rom_.string(), Path("out.dat")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "quarvel-cli: error: the block at 0x0 copies from before its start at byte " + std::string(at) +
                           ": the offset must be wrong\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.dat"));
  }
}

TEST_F(CliDecompress, CompressesWhatDecompressBringsBack) {
  testing::Bytes tiles(64 * 32);
  for (std::size_t i = 0; i < tiles.size(); ++i) tiles[i] = static_cast<std::uint8_t>(i / 40 % 3 * 0x11);
  WriteFile(dir_ / "tiles.dat", tiles);
  for (const char* format : {"kosinski", "nemesis"}) {
    auto run = Cli({"compress", "--format", format, Path("tiles.dat"), Path("packed.bin")});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_LT(fs::file_size(dir_ / "packed.bin"), tiles.size());
    run = Cli({"decompress", "--format", format, "--offset", "0", Path("packed.bin"), Path("back.dat")});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadFile(dir_ / "back.dat"), tiles) << format;
  }
}

TEST_F(CliDecompress, CompressSaysWhyItCannot) {
  WriteFile(dir_ / "empty.dat", {});
  WriteFile(dir_ / "odd.dat", testing::Bytes(33, 1));
  struct Case {
    std::vector<std::string> args;
    const char* errorPart;
  };
  for (const auto& c : {Case{{"compress", "-f", "kosinski", Path("empty.dat"), Path("x")}, "cannot hold empty data"},
                        Case{{"compress", "-f", "nemesis", Path("odd.dat"), Path("x")}, "not a whole number of 32-byte tiles"},
                        Case{{"compress", "-f", "kosinski", Path("missing.dat"), Path("x")}, "cannot read"},
                        Case{{"compress", "-f", "kosinski", Path("odd.dat"), Path("odd.dat")}, "is the input itself"}}) {
    const auto run = Cli(c.args);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "x"));
  EXPECT_EQ(ReadFile(dir_ / "odd.dat"), testing::Bytes(33, 1));
}

TEST(CliHelp, ListsTheCommandsWithExamples) {
  for (const auto& args : {std::vector<std::string>{"--help"}, std::vector<std::string>{"decompress", "--help"}}) {
    const auto run = Cli(args);
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("decompress"), std::string::npos);
    EXPECT_NE(run.out.find("quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat"),
              std::string::npos)
        << run.out;
  }
  const auto none = Cli({});
  EXPECT_EQ(none.code, 2);
  EXPECT_NE(none.err.find("subcommand"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace quarvel
