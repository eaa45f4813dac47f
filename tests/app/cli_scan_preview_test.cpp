#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "run_cli.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;

class CliScanPreview : public ::testing::Test {
 protected:
  // 8 KiB of zeros with a Kosinski block at 0x400 and a two-tile Nemesis block at 0x1000.
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
  EXPECT_EQ(json["format_version"], 1);
  EXPECT_EQ(json["rom"], rom_.string());
  EXPECT_EQ(json["size"], 0x2000);
  ASSERT_EQ(json["blocks"].size(), 1u);
  EXPECT_EQ(json["blocks"][0],
            nlohmann::json::parse(R"({"offset": 4096, "offset_hex": "0x1000", "format": "nemesis", "decoded_size": 64,
                                      "tiles": 2, "compressed_size": )" + std::to_string(nemesisSize_) +
                                  ", \"confidence\": " + json["blocks"][0]["confidence"].dump() + "}"));
}

TEST_F(CliScanPreview, PreviewWritesAPngOfTheTiles) {
  const auto out = dir_ / "art.png";
  const auto run = testing::RunCliWith({"preview", "-f", "nemesis", "-o", "1000", "--zoom", "3", rom_.string(), out.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  const Bytes png = testing::ReadFile(out);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(testing::ToHex(Bytes(png.begin() + 16, png.begin() + 24)), "00 00 00 30 00 00 00 18");  // 48 x 24
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
             1, "is not a palette: a palette holds 16 colours of 2 bytes, 32 bytes; this one has 10"},
        Case{{"preview", "-f", "nemesis", "-o", "1000", "--zoom", "9", rom_.string(), "x.png"}, 2, "--zoom"},
        Case{{"preview", "-f", "kosinski", "-o", "1000", rom_.string(), "x.png"}, 1, "error:"}}) {
    const auto run = testing::RunCliWith(c.args);
    EXPECT_EQ(run.code, c.code);
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists("x.png"));
}

}  // namespace
}  // namespace quarvel
