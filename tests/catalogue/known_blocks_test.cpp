#include "catalogue/known_blocks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/catalogue_file.h"
#include "catalogue/rom_names.h"
#include "files/files.h"

namespace quarvel {
namespace {

// Each catalogue the program ships holds the project's data of its ROM entry for entry,
// and so does the one written beside the programs of the build.
TEST(KnownBlocks, TheShippedCataloguesHoldTheData) {
  std::size_t games = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUARVEL_DATA_DIR "/catalogues")) {
    if (entry.path().extension() != ".tsv") continue;
    const auto bytes = ReadWholeFile(entry.path(), kCatalogueFileLimit);
    ASSERT_TRUE(bytes);
    const auto known = ParseKnownBlocks(std::string(bytes->begin(), bytes->end()));
    ASSERT_TRUE(known) << known.error();
    const std::string base = entry.path().stem().string();
    ASSERT_TRUE(FindRomCatalogue(base)) << base;
    EXPECT_GT(known->entries.size(), 100u) << base;
    for (const char* folder : {QUARVEL_SHIPPED_DIR, QUARVEL_BIN_DIR}) {
      const auto shipped = LoadCatalogue(CatalogueFilePath(folder, base));
      EXPECT_EQ(shipped.status, CatalogueLoad::Status::Loaded) << folder << " " << base;
      EXPECT_EQ(shipped.entries, known->entries) << folder << " " << base;
    }
    ++games;
  }
  EXPECT_EQ(games, 6u);
}

TEST(KnownBlocks, ReadsFactsAndBlocksAndNamesTheLineThatIsNeither) {
  const auto known = ParseKnownBlocks("# serial\tGM 00001009-00\r\n0001DC00\tN\tSega Logo (art)\n\n");
  ASSERT_TRUE(known);
  EXPECT_EQ(known->facts.at("serial"), "GM 00001009-00");
  EXPECT_EQ(known->entries, std::vector<std::string>{"0001DC00 - <N> - Sega Logo (art)"});
  for (const char* bad : {"1DC00\tN\tshort offset", "0001DC00\tX\tno format", "0001DC00 N spaces", "#serial\tno blank"})
    EXPECT_EQ(ParseKnownBlocks(std::string("# a\tb\n") + bad).error(), "line 2 is neither a fact nor a block: " + std::string(bad));
}

}  // namespace
}  // namespace quarvel
