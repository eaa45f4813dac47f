// The command line as its users expect it: one row a habit.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <nlohmann/json.hpp>

#include "catalogue/catalogue_file.h"
#include "run_cli.h"
#include "support/bytes.h"
#include "support/process.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

struct Habit {
  const char* name;
  std::vector<std::string> args;  // "DEMO" is the demo ROM image, "DIR/..." a path in a scratch folder
  bool demoOnStandardInput;
  int code;
  const char* outPart;  // "" when anything goes
  const char* errPart;
  std::function<void(const fs::path& dir, const testing::CliRun& run)> more = nullptr;
};

class CliHabits : public ::testing::TestWithParam<Habit> {};

TEST_P(CliHabits, AreKept) {
  const Habit& h = GetParam();
  testing::TempDir dir;
  const fs::path demo = fs::path(QUARVEL_BIN_DIR) / "demo.bin";
  std::vector<std::string> args;
  for (const auto& arg : h.args) {
    args.push_back(arg == "DEMO" ? demo.string() : arg.rfind("DIR/", 0) == 0 ? (dir / arg.substr(4)).string() : arg);
  }
  testing::CliRun run;
  if (h.demoOnStandardInput) {
    testing::StandardInputFrom input(demo);
    run = testing::RunCliWith(args);
  } else {
    run = testing::RunCliWith(args);
  }
  EXPECT_EQ(run.code, h.code) << run.err;
  EXPECT_NE(run.out.find(h.outPart), std::string::npos) << run.out;
  EXPECT_NE(run.err.find(h.errPart), std::string::npos) << run.err;
  if (h.more) h.more(dir.path(), run);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliHabits,
    ::testing::Values(
        Habit{"AMistypedCommandNamesItself", {"decompres"}, false, 2, "",
              "quarvel-cli: error: unknown command 'decompres'; did you mean 'decompress'?"},
        Habit{"AMistypedSubcommandToo", {"catalogue", "lst", "Custom"}, false, 2, "", "unknown command 'lst'; did you mean 'list'?"},
        Habit{"EveryParseErrorHasThePrefix", {"decompress", "--format"}, false, 2, "", "quarvel-cli: error: "},
        Habit{"AnUnknownOptionIsNamed", {"decompress", "--bogus"}, false, 2, "", "error: there is no option '--bogus'"},
        Habit{"HelpSaysWhatItIsInItsFirstLine", {"--help"}, false, 0,
              "Quarvel Descompressor: the compressed blocks of Mega Drive ROM images.\nFinds", ""},
        Habit{"AnOperandGivenTwiceIsOneOrTheOther",
              {"extract", "DEMO", "DIR/out", "--rom", "other.bin", "--catalogue", "Custom", "--catalogue-dir", QUARVEL_BIN_DIR},
              false, 2, "", "ROM and --rom name two things", [](const fs::path& dir, const testing::CliRun&) {
                EXPECT_FALSE(fs::exists(dir / "out"));
              }},
        Habit{"AHeaderSizeThatNeedsOtherModulesIsRefused",
              {"compress", "-f", "kosm", "--accurate", "--header-size", "0x2000", "DEMO", "DIR/x.kosm"}, false, 1, "",
              "makes the decoder read 2 modules", [](const fs::path& dir, const testing::CliRun&) {
                EXPECT_FALSE(fs::exists(dir / "x.kosm"));
              }},
        Habit{"FormatsAreWordsNotNumbers", {"decompress", "-f", "0", "-o", "0", "DEMO", "-"}, false, 2, "",
              "'0' is not one of kosinski|nemesis|enigma|kosinski-moduled"},
        Habit{"HelpShowsTheWordsAndNoInternals", {"decompress", "--help"}, false, 0, "--format kosinski|nemesis|enigma|kosinski-moduled", "",
              [](const fs::path&, const testing::CliRun&) {
                for (const char* command : {"", "decompress", "compress", "check-accurate", "catalogue", "catalogue list",
                                            "catalogue add", "catalogue remove", "catalogue where", "extract", "scan",
                                            "preview", "insert", "checksum", "info", "import-png"}) {
                  std::vector<std::string> args;
                  std::istringstream words(command);
                  for (std::string word; words >> word;) args.push_back(word);
                  args.emplace_back("--help");
                  const auto help = testing::RunCliWith(args).out;
                  for (const char* internal : {"ENUM", "->", "REQUIRED", "UINT", "INT in", "FLOAT", "TEXT:"})
                    EXPECT_EQ(help.find(internal), std::string::npos) << command << ": " << internal << "\n" << help;
                  std::istringstream lines(help);
                  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << command << ": " << line;
                }
              }},
        Habit{"AnOffsetAsScanPrintsIt", {"decompress", "-f", "nemesis", "-o", "0x400", "DEMO", "DIR/logo.dat"}, false, 0, "",
              "", [](const fs::path& dir, const testing::CliRun&) { EXPECT_GT(fs::file_size(dir / "logo.dat"), 0u); }},
        Habit{"ScanReadsStandardInput", {"scan", "-"}, true, 0, "0x400       nemesis", ""},
        Habit{"EnigmaWordsTakeABase", {"decompress", "-f", "enigma", "-o", "0x1000", "--base", "0x8400", "DEMO", "-"},
              false, 0, "", "",
              [](const fs::path&, const testing::CliRun& run) {
                ASSERT_EQ(run.out.size(), 256u);
                EXPECT_EQ(run.out.substr(0, 4), std::string("\x84\x00\x84\x01", 4));
              }},
        Habit{"ABaseIsForEnigmaOnly", {"decompress", "-f", "kosinski", "-o", "0x2000", "--base", "1", "DEMO", "-"},
              false, 2, "", "--base applies to Enigma blocks only"},
        Habit{"AStreamSizeIsForSaxmanOnly", {"decompress", "-f", "kos", "-o", "0x2000", "--stream-size", "16", "DEMO", "-"},
              false, 2, "", "--stream-size applies to Saxman streams only"},
        Habit{"AStreamWithoutItsSizeIsNeverInserted",
              {"insert", "-f", "sax", "-o", "0x2000", "--stream-size", "0xF63", "DEMO", "DEMO", "DIR/new.bin"}, false, 2, "",
              "its size lives in the game's code", [](const fs::path& dir, const testing::CliRun&) {
                EXPECT_FALSE(fs::exists(dir / "new.bin"));
              }},
        Habit{"AnEnigmaMapWithoutTilesIsText", {"preview", "-f", "enigma", "-o", "0x1000", "-c", "32", "DEMO", "-"},
              false, 0, "0000 0001 0002 0003", ""},
        Habit{"AnEnigmaMapIsDrawnWithItsTiles",
              {"preview", "-f", "enigma", "-o", "0x1000", "-c", "32", "--tiles", "0x3000", "--tiles-format",
               "kosinski-moduled", "DEMO", "DIR/map.png"},
              false, 0, "", "", [](const fs::path& dir, const testing::CliRun&) {
                const auto png = testing::ReadFile(dir / "map.png");
                ASSERT_GT(png.size(), 24u);
                EXPECT_EQ(png[19], 0u);  // 256 pixels wide: 32 tiles
                EXPECT_EQ(png[18], 1u);
              }},
        Habit{"PreviewReadsStandardInput", {"preview", "-f", "nemesis", "-o", "400", "-", "DIR/logo.png"}, true, 0, "", "",
              [](const fs::path& dir, const testing::CliRun&) { EXPECT_TRUE(fs::exists(dir / "logo.png")); }},
        Habit{"ExtractReadsStandardInput",
              {"extract", "--rom", "-", "--catalogue", "Custom", "--out-dir", "DIR/out", "--catalogue-dir", QUARVEL_BIN_DIR},
              true, 0, " extracted, 0 failed", ""},
        Habit{"ScanJsonIsOneLine", {"scan", "DEMO", "--json"}, false, 0, "", "",
              [](const fs::path&, const testing::CliRun& run) {
                EXPECT_EQ(run.out.find('\n'), run.out.size() - 1);
                const auto json = nlohmann::json::parse(run.out);
                EXPECT_EQ(json["format_version"], 2);
                EXPECT_EQ(json["blocks"].size(), 7u);
              }},
        Habit{"ScanAddsWhatTheCatalogueLacks",
              {"scan", "DEMO", "--add-to", "Custom.dat", "--catalogue-dir", "DIR/", "--min-confidence", "0"}, false, 0, "",
              "added 7 blocks to the catalogue 'Custom'",
              [](const fs::path& dir, const testing::CliRun&) {
                EXPECT_EQ(LoadCatalogue(dir / "Custom.dat").entries.size(), 7u);
                const auto again = testing::RunCliWith(
                    {"scan", QUARVEL_BIN_DIR "/demo.bin", "--add-to", "Custom", "--catalogue-dir", dir.string()});
                EXPECT_NE(again.err.find("added 0 blocks"), std::string::npos) << again.err;
              }},
        Habit{"ListingAMissingCatalogueSaysSo", {"catalogue", "list", "Sonic2.dat", "--catalogue-dir", "DIR/"}, false, 0, "",
              "no catalogue file at '"},
        Habit{"ExtractChecksTheRomFirst",
              {"extract", "--rom", "DIR/none.bin", "--catalogue", "Custom", "--out-dir", "DIR/out", "--catalogue-dir",
               QUARVEL_BIN_DIR},
              false, 1, "", "none.bin': No such file or directory",
              [](const fs::path& dir, const testing::CliRun&) { EXPECT_FALSE(fs::exists(dir / "out")); }},
        Habit{"TheVersionIsTheProjects", {"--version"}, false, 0, "quarvel-cli " QUARVEL_VERSION, ""},
        Habit{"ShortFormatNamesAndTheListingsOffsets", {"decompress", "-f", "nem", "-o", "$400", "DEMO", "DIR/logo.dat"},
              false, 0, "", "", [](const fs::path& dir, const testing::CliRun&) { EXPECT_EQ(fs::file_size(dir / "logo.dat"), 512u); }},
        Habit{"AStandAloneFileIsABlockAtOffset0", {"compress", "-f", "kos", "DEMO", "DIR/demo.kos"}, false, 0, "", "",
              [](const fs::path& dir, const testing::CliRun&) {
                const auto run = testing::RunCliWith({"decompress", "-f", "kosinski", (dir / "demo.kos").string(), "-"});
                EXPECT_EQ(run.code, 0) << run.err;
                EXPECT_EQ(run.out.size(), 32768u);
              }},
        Habit{"AutoTakesTheFormatTheScanRatesHighest", {"decompress", "-f", "auto", "-o", "0x1000", "DEMO", "-"}, false, 0, "",
              "quarvel-cli: the block at 0x1000 is taken for enigma (confidence 1.00)"},
        Habit{"AutoRefusesWhatIsNoBlock", {"preview", "-f", "auto", "-o", "0x401", "DEMO", "DIR/x.png"}, false, 1, "",
              "no format takes the bytes at 0x401 for a block"},
        Habit{"AWrongChecksumExits1", {"checksum", "DEMO"}, false, 1, "computed 0x1E5F over 0x200 to 0x7FFF: wrong", ""},
        Habit{"ScanFormatAll", {"scan", "DEMO", "-f", "all"}, false, 0, "0x6000", ""},
        Habit{"AUsageErrorNamesTheSubcommandsHelp", {"catalogue", "add", "Custom"}, false, 2, "",
              "Run 'quarvel-cli catalogue add --help' for its options."},
        Habit{"ExtractTakesItsRomAndFolderAsArguments",
              {"extract", "DEMO", "DIR/out", "--catalogue", "Custom", "--catalogue-dir", QUARVEL_BIN_DIR}, false, 0,
              "7 entries: 7 extracted, 0 failed", ""},
        Habit{"ExtractTakesItsFolderNamedTwice",
              {"extract", "--rom", "DEMO", "DIR/out", "--out-dir", "DIR/out", "--catalogue", "Custom", "--catalogue-dir",
               QUARVEL_BIN_DIR}, false, 0, "7 entries: 7 extracted, 0 failed", ""},
        Habit{"ExtractWithoutACatalogueTheRomFitsNamesTheOption", {"extract", "DEMO", "DIR/out"}, false, 2, "",
              "no catalogue fits '" QUARVEL_BIN_DIR "/demo.bin' (see 'quarvel-cli info'): name one with --catalogue"},
        Habit{"ExtractWritesNoFolderNamedDash", {"extract", "DEMO", "-", "--catalogue", "Custom"}, false, 2, "",
              "not to standard output: name a folder ('./-' for one named '-')"},
        Habit{"CatalogueListJson", {"catalogue", "list", "Custom", "--json", "--catalogue-dir", QUARVEL_BIN_DIR}, false, 0, "",
              "", [](const fs::path&, const testing::CliRun& run) {
                const auto json = nlohmann::json::parse(run.out);
                ASSERT_EQ(json["entries"].size(), 7u);
                EXPECT_EQ(json["entries"][0]["offset_hex"], "0x400");
                EXPECT_EQ(json["entries"][0]["format"], "nemesis");
                EXPECT_EQ(json["entries"][0]["description"], "Demo: logotipo (Nemesis)");
              }},
        Habit{"QuietReportsNothing",
              {"extract", "DEMO", "DIR/out", "--catalogue", "Custom", "--catalogue-dir", QUARVEL_BIN_DIR, "--quiet"}, false, 0,
              "", "", [](const fs::path& dir, const testing::CliRun& run) {
                EXPECT_EQ(run.out + run.err, "");
                EXPECT_TRUE(fs::exists(dir / "out"));
              }},
        Habit{"TheOffsetErrorNamesThePrefixes", {"decompress", "-f", "kos", "-o", "0xG", "DEMO", "-"}, false, 2, "",
              "(digits 0-9 and A-F, after 0x or $ or alone; no sign)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarvel
