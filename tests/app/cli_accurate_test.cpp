#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "run_cli.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

// The arguments that make each kind of stored file from its input.
const std::map<std::string, std::vector<std::string>> kCompressAs = {
    {".kos", {"-f", "kosinski", "--accurate"}},
    {".kosm", {"-f", "kosinski-moduled", "--accurate"}},
    {".nem", {"-f", "nemesis", "--accurate=s1"}},
    {".nem-even", {"-f", "nemesis", "--accurate=s3k"}},
    {".eni", {"-f", "enigma", "--accurate"}},
    {".sax", {"-f", "saxman", "--accurate"}},
};

// Every stored file of the folder is what compress --accurate makes of its input, and
// check-accurate says so.
TEST(CliAccurate, ReproducesEveryStoredFileByteForByte) {
  std::size_t checked = 0;
  for (const auto& entry : fs::directory_iterator(QUARVEL_TEST_DATA "/accurate")) {
    const auto kind = kCompressAs.find(entry.path().extension().string());
    if (kind == kCompressAs.end()) continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::vector<std::string> compress{"compress"};
    compress.insert(compress.end(), kind->second.begin(), kind->second.end());
    compress.insert(compress.end(), {fs::path(entry.path()).replace_extension(".in").string(), "-"});
    const auto made = testing::RunCliWith(compress);
    ASSERT_EQ(made.code, 0) << made.err;
    const auto stored = testing::ReadFile(entry.path());
    EXPECT_EQ(testing::Bytes(made.out.begin(), made.out.end()), stored);

    const auto check = testing::RunCliWith({"check-accurate", kind->second[0], kind->second[1], entry.path().string()});
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    EXPECT_NE(check.out.find(" is identical to what the games' compressor writes"), std::string::npos) << check.out;
    ++checked;
  }
  EXPECT_EQ(checked, 50u);
}

// The sound driver's form, a stream without its size header: written, checked and read
// back by its size as a disassembly keeps it.
TEST(CliAccurate, AStreamWithoutItsSizeHeader) {
  testing::TempDir dir;
  const std::string in = QUARVEL_TEST_DATA "/accurate/sax02-song-like.in", stream = (dir / "driver.sax").string();
  const auto song = testing::ReadFile(QUARVEL_TEST_DATA "/accurate/sax02-song-like.sax");
  ASSERT_EQ(testing::RunCliWith({"compress", "-f", "sax", "--accurate", "--no-size-header", in, stream}).code, 0);
  EXPECT_EQ(testing::ReadFile(stream), testing::Bytes(song.begin() + 2, song.end()));
  const auto check = testing::RunCliWith({"check-accurate", "-f", "sax", "--no-size-header", stream});
  EXPECT_EQ(check.code, 0) << check.out << check.err;
  const auto back = testing::RunCliWith({"decompress", "-f", "sax", "--stream-size", std::to_string(song.size() - 2), stream, "-"});
  EXPECT_EQ(testing::Bytes(back.out.begin(), back.out.end()), testing::ReadFile(in)) << back.err;
}

// A block that the games' compressor would not have written is told apart, with the
// first byte where it differs; one that does not decode is an error.
TEST(CliAccurate, ChecksSayWhereABlockDiffers) {
  testing::TempDir dir;
  auto stored = testing::ReadFile(QUARVEL_TEST_DATA "/accurate/kos01-text.kos");
  stored.push_back(0);  // one zero byte more than the padding to 16
  testing::WriteFile(dir / "longer.kos", stored);
  testing::WriteFile(dir / "none.kos", testing::Hex("FF FF"));
  struct Case {
    const char* file;
    int code;
    const char* out;
    const char* err;
  };
  for (const auto& c : {Case{"longer.kos", 1, "differs from what the games' compressor writes at byte 0x370: it goes on "
                                              "after the 880 bytes the compressor writes", ""},
                        Case{"none.kos", 1, "", "none.kos' is no Kosinski block: "}}) {
    const auto run = testing::RunCliWith({"check-accurate", "-f", "kosinski", (dir / c.file).string()});
    EXPECT_EQ(run.code, c.code) << c.file;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

// The header's size is decimal unless written 0x..., as every number of the tool: 010 is ten.
TEST(CliAccurate, TheHeaderSizeIsDecimalOrHexadecimal) {
  testing::TempDir dir;
  testing::WriteFile(dir / "in.dat", testing::Bytes(32, 7));
  for (const auto& [size, header] : {std::pair{"010", "00 0A"}, std::pair{"0x10", "00 10"}}) {
    const auto made = testing::RunCliWith(
        {"compress", "-f", "kosinski-moduled", "--accurate", "--header-size", size, (dir / "in.dat").string(), "-"});
    ASSERT_EQ(made.code, 0) << made.err;
    EXPECT_EQ(testing::ToHex(testing::Bytes(made.out.begin(), made.out.begin() + 2)), header) << size;
  }
}

}  // namespace
}  // namespace quarvel
