// The demo ROM image that the build writes beside the programs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "common/format.h"
#include "formats/format_table.h"
#include "offset/offset_text.h"
#include "scan/block_scan.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

int MakeDemo(const std::filesystem::path& folder) {
  return std::system((std::string("\"") + QUARVEL_BIN_DIR + "/make_demo\" \"" + folder.string() + "\"").c_str());
}

TEST(Demo, EveryListedBlockDecodesAndTheScanFindsThemAll) {
  testing::TempDir dir;
  ASSERT_EQ(MakeDemo(dir.path()), 0);
  const auto rom = testing::ReadFile(dir / "demo.bin");
  const auto entries = LoadCatalogue(dir / "Custom.dat").entries;
  ASSERT_EQ(entries.size(), 7u);
  const auto found = ScanRom(rom, {});
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto offset = ParseOffsetText(EntryOffsetText(entries[i]), Radix::Hex);
    const auto format = EntryFormat(entries[i]);
    ASSERT_TRUE(offset && format) << entries[i];
    const auto block = DecodeBlock(*format, rom, *offset);
    ASSERT_TRUE(block) << entries[i] << ": " << block.error().message;
    EXPECT_EQ((*found)[i].offset, static_cast<std::uint64_t>(*offset)) << entries[i];
    EXPECT_EQ((*found)[i].format, *format) << entries[i];
  }
  EXPECT_EQ(testing::ReadFile(dir / "demo.pal").size(), 32u);
}

TEST(Demo, KeepsACustomCatalogueThatIsThere) {
  testing::TempDir dir;
  ASSERT_TRUE(SaveCatalogue(dir / "Custom.dat", {"00000010 - <K> - mine"}));
  ASSERT_EQ(MakeDemo(dir.path()), 0);
  EXPECT_EQ(LoadCatalogue(dir / "Custom.dat").entries, std::vector<std::string>{"00000010 - <K> - mine"});
  EXPECT_TRUE(std::filesystem::exists(dir / "demo.bin"));
}

// The games' catalogues beside the programs: a link there, dangling or not, is never
// written through, and a dangling one stops nothing.
TEST(Demo, TheGamesCataloguesPassOverLinks) {
  testing::TempDir dir;
  std::filesystem::create_symlink(dir / "gone" / "Sonic2.dat", dir / "Sonic2.dat");
  const std::string make = std::string("\"") + QUARVEL_BIN_DIR + "/make_catalogues\" \"" + QUARVEL_TEST_DATA +
                           "/../../data/catalogues\" \"" + dir.path().string() + "\" --keep 2>/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "Sonic2.dat"));
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").status, CatalogueLoad::Status::Loaded);
}

// A build again over catalogues written before: the user's changes are kept, and one the
// user never changed follows the data.
TEST(Demo, TheGamesCataloguesFollowTheDataUnlessChanged) {
  testing::TempDir dir;
  const std::string make = std::string("\"") + QUARVEL_BIN_DIR + "/make_catalogues\" \"" + QUARVEL_TEST_DATA +
                           "/../../data/catalogues\" \"" + dir.path().string() + "\" --keep \"" + (dir / "written").string() + "\"";
  ASSERT_EQ(std::system(make.c_str()), 0);
  ASSERT_TRUE(SaveCatalogue(dir / "Sonic1.dat", {"00000010 - <K> - mine"}));
  ASSERT_TRUE(SaveCatalogue(dir / "written" / "Sonic3.dat", {"00000010 - <K> - older data"}));
  ASSERT_TRUE(SaveCatalogue(dir / "Sonic3.dat", {"00000010 - <K> - older data"}));
  ASSERT_EQ(std::system(make.c_str()), 0);
  EXPECT_EQ(LoadCatalogue(dir / "Sonic1.dat").entries, std::vector<std::string>{"00000010 - <K> - mine"});
  EXPECT_GT(LoadCatalogue(dir / "Sonic3.dat").entries.size(), 100u);
}

}  // namespace
}  // namespace quarvel
