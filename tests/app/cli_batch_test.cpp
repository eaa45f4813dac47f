// Many inputs in one command: their order, a failing one among good ones, folders,
// --jobs, and JSON Lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <nlohmann/json.hpp>

#include "run_cli.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

class CliBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "roms" / "deeper");
    testing::Bytes demo = testing::ReadFile(fs::path(QUARVEL_BIN_DIR) / "demo.bin");
    testing::WriteFile(dir_ / "roms" / "a.bin", demo);
    demo.back() ^= 1;  // another image: another MD5
    testing::WriteFile(dir_ / "roms" / "b.bin", demo);
    testing::WriteFile(dir_ / "roms" / "deeper" / "c.bin", demo);
    fs::create_directories(dir_ / "art");
    for (const char* offset : {"0x400", "0x2000"}) {
      const std::string data = (dir_ / "data").string(), block = (dir_ / "art" / (std::string(offset) + ".bin")).string();
      const char* format = offset == std::string("0x400") ? "nemesis" : "kosinski";
      ASSERT_EQ(Run({"decompress", "-f", format, "-o", offset, Path("roms/a.bin"), data}).code, 0);
      ASSERT_EQ(Run({"compress", "-f", format, "--accurate", data, block}).code, 0);
    }
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static testing::CliRun Run(std::vector<std::string> args) { return testing::RunCliWith(std::move(args)); }
  // The lines of `text`, each a JSON object.
  static std::vector<nlohmann::json> Lines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  testing::TempDir dir_;
};

// Each command that takes several inputs: one JSON line each, in their order, the same
// with one job and with two.
TEST_F(CliBatch, JsonLinesInTheInputsOrderWhateverTheJobs) {
  struct Row {
    std::vector<std::string> args;
    const char* key;
    int version;
  };
  const std::string a = Path("roms/a.bin"), b = Path("roms/b.bin");
  for (const Row& row : {Row{{"info", a, b}, "rom", 1}, Row{{"scan", a, b}, "rom", 2}, Row{{"checksum", a, b}, "rom", 1},
                         Row{{"check-accurate", "-f", "nem", Path("art/0x400.bin"), Path("art/0x2000.bin")}, "file", 1},
                         Row{{"extract", "--out-dir", Path("out"), "--catalogue", "Custom", "--catalogue-dir",
                              QUARVEL_BIN_DIR, a, b}, "rom", 1}}) {
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--json", "--jobs", "1"});
    const auto one = Run(args);
    args.back() = "2";
    const auto two = Run(args);
    EXPECT_EQ(one.out, two.out) << row.args[0];
    EXPECT_EQ(one.code, two.code) << row.args[0];
    const auto lines = Lines(one.out);
    ASSERT_EQ(lines.size(), 2u) << one.out;
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(lines[i]["format_version"], row.version) << row.args[0];
      EXPECT_EQ(lines[i][row.key], row.args[row.args.size() - 2 + i]) << row.args[0];
    }
  }
  EXPECT_FALSE(fs::is_empty(dir_ / "out" / "a"));  // a subfolder a ROM image
  EXPECT_FALSE(fs::is_empty(dir_ / "out" / "b"));
}

// A folder is its files in name order (its subfolders' too with --recursive); a file that
// cannot be read is said, with its name, and the others are still worked on.
TEST_F(CliBatch, FoldersAndAFailingInput) {
  auto run = Run({"info", Path("roms"), Path("missing.bin"), Path("roms/a.bin")});
  EXPECT_EQ(run.code, 1);
  const auto at = [&](const std::string& name) { return run.out.find(Path(name) + ":\n"); };
  EXPECT_LT(at("roms/a.bin"), at("roms/b.bin"));
  EXPECT_NE(at("roms/b.bin"), std::string::npos);
  EXPECT_EQ(at("roms/deeper/c.bin"), std::string::npos);
  EXPECT_NE(run.err.find("missing.bin"), std::string::npos) << run.err;

  run = Run({"checksum", "--json", "-R", Path("roms"), Path("missing.bin")});
  EXPECT_EQ(run.code, 1);
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_EQ(lines[2]["rom"], Path("roms/deeper/c.bin"));
  EXPECT_NE(lines[3]["error"].get<std::string>().find("missing.bin"), std::string::npos);

  run = Run({"check-accurate", "-f", "kos", Path("art"), "--json"});
  EXPECT_EQ(run.code, 1);  // the Nemesis block is no Kosinski block
  const auto blocks = Lines(run.out);  // 0x2000.bin, then 0x400.bin
  EXPECT_TRUE(blocks.at(0)["identical"]);
  EXPECT_TRUE(blocks.at(1).contains("error"));
}

// Where the data goes to standard output, the report goes to standard error; several
// ROM images are refused where a command takes one.
TEST_F(CliBatch, ReportsBesideDataAndOneInputCommands) {
  const auto run = Run({"decompress", "-f", "nem", "-o", "0x400", Path("roms/a.bin"), "-", "--json"});
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.out.size(), 512u);
  EXPECT_EQ(Lines(run.err).at(0)["decoded_size"], 512);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"checksum", "--fix", Path("fixed.bin"), Path("roms")},
        {"scan", "--add-to", "Custom", Path("roms/a.bin"), Path("roms/b.bin")},
        {"extract", Path("roms/a.bin"), Path("roms/b.bin"), Path("out")}}) {
    EXPECT_EQ(Run(args).code, 2) << args[0];
  }
}

// One ROM image's extraction never writes over another ROM image of the same command.
TEST_F(CliBatch, ExtractionSparesTheOtherRoms) {
  const fs::path other = dir_ / "out" / "a" / "00000400_nemesis_Demo_logotipo_(Nemesis).dat";
  fs::create_directories(other.parent_path());
  fs::copy_file(dir_ / "roms" / "b.bin", other);
  const auto run = Run({"extract", "--out-dir", Path("out"), "--catalogue", "Custom", "--catalogue-dir", QUARVEL_BIN_DIR,
                        Path("roms/a.bin"), other.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("is a ROM image being extracted; it is never written"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("error: '" + Path("roms/a.bin") + "': [1/7]"), std::string::npos) << run.err;  // whose
  EXPECT_EQ(testing::ReadFile(other), testing::ReadFile(dir_ / "roms" / "b.bin"));
}

}  // namespace
}  // namespace quarvel
