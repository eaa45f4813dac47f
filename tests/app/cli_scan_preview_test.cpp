#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "catalogue/catalogue_file.h"
#include "common/format.h"
#include "encoders/enigma_compressor.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "formats/format_table.h"
#include "run_cli.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

class CliScanPreview : public ::testing::Test {
 protected:
  // 8 KiB of zeros with a Kosinski block at 0x400, a two-tile Nemesis block at 0x1000 and
  // an Enigma map at 0x1800 whose words start at 0x200, as the title screen's.
  void SetUp() override {
    Bytes tiles;
    for (unsigned i = 0; i < 64; ++i) tiles.push_back(static_cast<std::uint8_t>(i % 8 < 4 ? 0x12 : 0x34));
    Bytes text;
    for (int i = 0; i < 40; ++i) text.insert(text.end(), {'r', 'i', 'n', 'g', ' ', static_cast<std::uint8_t>('a' + i % 5)});
    Bytes rom(0x2000, 0);
    const auto kosinski = *CompressKosinski(text);
    const auto nemesis = *CompressNemesis(tiles);
    std::copy(kosinski.begin(), kosinski.end(), rom.begin() + 0x400);
    std::copy(nemesis.begin(), nemesis.end(), rom.begin() + 0x1000);
    const auto map = *CompressEnigma(testing::Hex("02 00  02 01"));
    std::copy(map.begin(), map.end(), rom.begin() + 0x1800);
    testing::WriteFile(rom_, rom);
    kosinskiSize_ = kosinski.size();
    nemesisSize_ = nemesis.size();
  }

  testing::TempDir dir_;
  std::filesystem::path rom_ = dir_ / "rom.bin";
  std::size_t kosinskiSize_ = 0, nemesisSize_ = 0;
};

TEST_F(CliScanPreview, ScanListsTheBlocks) {
  auto run = testing::RunCliWith({"scan", rom_.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("0x400       kosinski              240       -"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0x1000      nemesis                64       2"), std::string::npos) << run.out;

  run = testing::RunCliWith({"scan", rom_.string(), "--format", "nemesis", "--json"});
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.out.find("kosinski"), std::string::npos);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["format_version"], 2);
  EXPECT_EQ(json["rom"], rom_.string());
  EXPECT_EQ(json["size"], 0x2000);
  ASSERT_EQ(json["blocks"].size(), 1u);
  EXPECT_EQ(json["blocks"][0],
            nlohmann::json::parse(R"({"offset": 4096, "offset_hex": "0x1000", "format": "nemesis", "decoded_size": 64,
                                      "tiles": 2, "compressed_size": )" + std::to_string(nemesisSize_) +
                                  ", \"confidence\": " + json["blocks"][0]["confidence"].dump() + ", \"games_own\": false}"));

  // A file name that is not UTF-8 is written with a replacement character.
  const auto latin1 = dir_ / "ca\xE7" "a.bin";
  std::filesystem::copy_file(rom_, latin1);
  run = testing::RunCliWith({"scan", latin1.string(), "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out)["rom"], (dir_ / "ca\uFFFDa.bin").string());
}

// On a terminal the progress line is drawn once a figure, and erased; --quiet draws none.
TEST_F(CliScanPreview, ScanProgressIsDrawnOnceAFigure) {
  for (const bool quiet : {false, true}) {
    std::vector<const char*> argv = {"quarvel-cli", "scan", rom_.c_str()};
    if (quiet) argv.push_back("--quiet");
    std::ostringstream out, err;
    ASSERT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, {.err = true}), 0);
    std::size_t drawn = 0;
    for (std::size_t at = 0; (at = err.str().find("\rScanning", at)) != std::string::npos; ++at) ++drawn;
    EXPECT_LE(drawn, quiet ? 0u : 101u) << err.str();
    EXPECT_EQ(err.str().find("Scanning"), quiet ? std::string::npos : 1u);
  }
}

TEST_F(CliScanPreview, PreviewWritesAPngOfTheTiles) {
  const auto out = dir_ / "art.png";
  const auto run = testing::RunCliWith({"preview", "-f", "nemesis", "-o", "1000", "--zoom", "3", rom_.string(), out.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  const Bytes png = testing::ReadFile(out);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(testing::ToHex(Bytes(png.begin() + 16, png.begin() + 24)), "00 00 00 30 00 00 00 18");  // 48 x 24
}

// The map beyond its tiles is drawn from tile 0x200 unless told otherwise, which is said.
TEST_F(CliScanPreview, PreviewDrawsAMapFromWhereItsTilesStart) {
  std::vector<std::string> args = {"preview", "-f", "eni", "-o", "1800", "--tiles", "0x1000", "--tiles-format", "nem",
                                   rom_.string(), (dir_ / "proposed.png").string()};
  EXPECT_EQ(testing::RunCliWith(args).err, "quarvel-cli: the map's tiles start at 0x200 in video memory, beyond its 2 "
                                           "tiles: drawn with --first-tile 0x200\n");
  args.back() = (dir_ / "blank.png").string();
  args.insert(args.begin() + 1, {"--first-tile", "0"});
  EXPECT_EQ(testing::RunCliWith(args).err, "");
  EXPECT_NE(testing::ReadFile(dir_ / "proposed.png"), testing::ReadFile(dir_ / "blank.png"));
}

TEST_F(CliScanPreview, PreviewSaysWhatIsWrong) {
  testing::WriteFile(dir_ / "short.pal", Bytes(10, 0));
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* errorPart;
  };
  for (const auto& c :
       {Case{{"preview", "-f", "nemesis", "-o", "1000", "--palette", (dir_ / "short.pal").string(), rom_.string(), "x.png"},
             1, "is not a palette: a palette holds one to four lines of 16 colours of 2 bytes: 32, 64, 96 or 128 bytes; "
                "this one has 10"},
        Case{{"preview", "-f", "nemesis", "-o", "1000", "--palette", rom_.string(), rom_.string(), "x.png"}, 1,
             "rom.bin' is not a palette: a palette holds one to four lines of 16 colours of 2 bytes: 32, 64, 96 or 128 "
             "bytes; this one has more"},
        Case{{"preview", "-f", "nemesis", "-o", "1000", "--zoom", "9", rom_.string(), "x.png"}, 2, "--zoom"},
        Case{{"preview", "-f", "kosinski", "-o", "1000", rom_.string(), "x.png"}, 1, "error:"},
        Case{{"preview", "-f", "nemesis", "-o", "1000", "--first-tile", "0x200", rom_.string(), "x.png"}, 2,
             "--first-tile applies to Enigma maps drawn with --tiles"},
        Case{{"preview", "-f", "eni", "-o", "1800", "--first-tile", "2048", rom_.string(), "x.png"}, 2, "not a tile of"}}) {
    const auto run = testing::RunCliWith(c.args);
    EXPECT_EQ(run.code, c.code);
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists("x.png"));
}

}  // namespace
}  // namespace quarvel

namespace quarvel {
namespace {

// The hacker's loop on the demo ROM, for each kind of art it holds: decompress, preview
// at zoom 2, import the PNG, insert, decompress again: the same tiles, and the ROM as it was.
TEST(CliLoop, ArtComesBackThroughAPngIntoANewRom) {
  testing::TempDir dir;
  const std::string demo = std::string(QUARVEL_BIN_DIR) + "/demo.bin", palette = std::string(QUARVEL_BIN_DIR) + "/demo.pal";
  const auto before = testing::ReadFile(demo);
  for (const auto& [format, offset] : {std::pair{"nemesis", "0x400"}, {"kosinski", "0x2000"}, {"kosinski-moduled", "0x3000"}}) {
    const std::string art = (dir / "art.dat").string(), png = (dir / "art.png").string(),
                      back = (dir / "back.dat").string(), rom = (dir / "new.bin").string(), again = (dir / "again.dat").string();
    for (const std::vector<std::string>& step : std::vector<std::vector<std::string>>{
             {"decompress", "-f", format, "-o", offset, demo, art},
             {"preview", "-f", format, "-o", offset, "--palette", palette, "--zoom", "2", "--columns", "5", demo, png},
             {"import-png", png, back, "--palette", palette},
             {"insert", "-f", format, "-o", offset, demo, back, rom},
             {"decompress", "-f", format, "-o", offset, rom, again}}) {
      const auto run = testing::RunCliWith(step);
      ASSERT_EQ(run.code, 0) << format << " " << step[0] << ": " << run.err;
      if (step[0] == "import-png") {
        EXPECT_EQ(run.err, "quarvel-cli: read at zoom 2 (from the picture's layout), " + std::to_string(testing::ReadFile(art).size() / 32) +
                               " tiles (from the picture's layout)\n") << format;
      }
    }
    EXPECT_EQ(testing::ReadFile(dir / "back.dat"), testing::ReadFile(dir / "art.dat")) << format;
    EXPECT_EQ(testing::ReadFile(dir / "again.dat"), testing::ReadFile(dir / "art.dat")) << format;
  }
  EXPECT_EQ(testing::ReadFile(demo), before);
}

// A title screen's case on the demo's art: a map whose words count from tile 0x200, where
// the game loads the logo, is drawn from there, as the same map counted from 0 is.
TEST(CliLoop, AMapIsDrawnWhereTheGameLoadsItsArt) {
  testing::TempDir dir;
  auto rom = testing::ReadFile(std::string(QUARVEL_BIN_DIR) + "/demo.bin");
  rom.resize(0x9000, 0xFF);
  for (const unsigned first : {0x200u, 0u}) {
    Bytes words;
    for (unsigned i = 0; i < 16; ++i) words.insert(words.end(), {static_cast<std::uint8_t>((first + i) >> 8), static_cast<std::uint8_t>(first + i)});
    const auto map = *CompressEnigma(words);
    std::copy(map.begin(), map.end(), rom.begin() + (first != 0 ? 0x8000 : 0x8800));
  }
  testing::WriteFile(dir / "title.bin", rom);
  const auto drawn = [&](const char* offset, const char* out) {
    return testing::RunCliWith({"preview", "-f", "eni", "-o", offset, "--tiles", "0x400", "--tiles-format", "nem", "-c", "8",
                                (dir / "title.bin").string(), (dir / out).string()});
  };
  EXPECT_EQ(drawn("8000", "title.png").err, "quarvel-cli: the map's tiles start at 0x200 in video memory, beyond its 16 "
                                            "tiles: drawn with --first-tile 0x200\n");
  EXPECT_EQ(drawn("8800", "plain.png").code, 0);
  EXPECT_EQ(testing::ReadFile(dir / "title.png"), testing::ReadFile(dir / "plain.png"));
}

// A block too large for its room is refused, with both sizes and nothing written, or
// appended; a block already compressed goes in as it is; the checksum is reported.
TEST(CliLoop, InsertRefusesAppendsAndTakesRawBlocks) {
  testing::TempDir dir;
  const std::string demo = std::string(QUARVEL_BIN_DIR) + "/demo.bin";
  const auto before = testing::ReadFile(demo);
  testing::Bytes noise;
  for (unsigned i = 0; i < 2000; ++i) noise.push_back(static_cast<std::uint8_t>(i * i * 31 >> 3));
  testing::WriteFile(dir / "noise.dat", noise);
  const std::string noiseFile = (dir / "noise.dat").string(), out = (dir / "new.bin").string();

  auto run = testing::RunCliWith({"insert", "-f", "kosinski", "-o", "0x6000", demo, noiseFile, out});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("bytes, the old one's room 131 bytes: it does not fit"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "new.bin"));

  run = testing::RunCliWith({"insert", "-f", "kosinski", "-o", "0x6000", "--append", demo, noiseFile, out});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("at 0x8000; the ROM is now 131072 bytes. Point the game at 0x8000"), std::string::npos) << run.out;
  const auto grown = testing::ReadFile(dir / "new.bin");
  ASSERT_EQ(grown.size(), 0x20000u);
  EXPECT_EQ(testing::ToHex(testing::Bytes(grown.begin() + 0x1A4, grown.begin() + 0x1A8)), "00 01 FF FF");
  EXPECT_EQ(DecodeBlock(Format::Kosinski, grown, 0x8000)->bytes, noise);
  run = testing::RunCliWith({"checksum", out});
  EXPECT_NE(run.out.find(": correct"), std::string::npos) << run.out;

  testing::WriteFile(dir / "small.kos", *CompressKosinski(testing::Bytes(40, 'x')));
  run = testing::RunCliWith({"insert", "-f", "kosinski", "-o", "0x6000", "--raw", "--no-checksum", demo,
                             (dir / "small.kos").string(), out});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(DecodeBlock(Format::Kosinski, testing::ReadFile(dir / "new.bin"), 0x6000)->bytes, testing::Bytes(40, 'x'));
  run = testing::RunCliWith({"checksum", out});
  EXPECT_NE(run.out.find("stored 0xFFFF, computed 0x"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(": wrong"), std::string::npos) << run.out;
  run = testing::RunCliWith({"insert", "-f", "kosinski", "-o", "0x6000", "--raw", demo, noiseFile, out});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("the data is no Kosinski block"), std::string::npos) << run.err;

  // A Nemesis block keeps its count of tiles (the logo's 16) unless --resize.
  testing::WriteFile(dir / "tile.dat", testing::Bytes(32, 0x11));
  const std::string tile = (dir / "tile.dat").string();
  std::filesystem::remove(out);
  run = testing::RunCliWith({"insert", "-f", "nemesis", "-o", "0x400", demo, tile, out});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "quarvel-cli: error: cannot insert at 0x400: the old block holds 16 tiles and the new data 1: give "
                     "--resize to change the count\n");
  EXPECT_FALSE(std::filesystem::exists(out));
  run = testing::RunCliWith({"insert", "-f", "nemesis", "-o", "0x400", "--resize", demo, tile, out});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find(" at 0x400 in place of 335 (decoded: 32 bytes, was 512 bytes); the rest filled.\n"), std::string::npos)
      << run.out;

  // What decodes at an offset is replaced only when a catalogue lists it there, the scan
  // takes it for a block, or --force says so; never in the header.
  testing::WriteFile(dir / "word.dat", testing::Hex("00 07"));
  testing::WriteFile(dir / "Custom.dat", testing::Bytes{});
  const std::string word = (dir / "word.dat").string();
  struct Case {
    std::vector<std::string> options;
    int code;
    const char* errorPart;
  };
  for (const auto& c : {Case{{"-o", "0x1002"}, 1, "cannot insert at 0x1002: nothing says that an Enigma block starts there"},
                        Case{{"-o", "0x1002", "--catalogue", "Custom", "--catalogue-dir", dir.path().string()}, 1,
                             "nothing says"},
                        Case{{"-o", "0x188", "--force"}, 1, "reaches into the header at 0x100 to 0x1FF"},
                        Case{{"-o", "0x1002", "--force"}, 0, ""}}) {
    std::vector<std::string> args{"insert", "-f", "enigma"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {demo, word, out});
    std::filesystem::remove(out);
    run = testing::RunCliWith(args);
    EXPECT_EQ(run.code, c.code) << c.options[1] << ": " << run.err;
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::exists(out), c.code == 0);
  }
  EXPECT_EQ(testing::ToHex(DecodeBlock(Format::Enigma, testing::ReadFile(out), 0x1002)->bytes), "00 07");
  ASSERT_TRUE(SaveCatalogue(dir / "Custom.dat", {"00001002 - <E> - map"}));
  run = testing::RunCliWith({"insert", "-f", "enigma", "-o", "0x1002", "--catalogue", "Custom", "--catalogue-dir",
                             dir.path().string(), demo, word, out});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(testing::ReadFile(demo), before);
}

}  // namespace
}  // namespace quarvel
