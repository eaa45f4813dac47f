// Writes the tests' corpora as files, a format each, for the benchmarks that run whole
// programs on them: write_corpus DIR makes DIR/kosinski-01.dat, DIR/nemesis-01.dat, ...;
// write_corpus --game-like FILE writes the 4 MiB game-like image that BM_ScanFiller4MiB
// scans (testing::RealisticRom of kGameLikeSeed); write_corpus --preview-block FILE the
// Nemesis block of 1,375 tiles that BM_PreviewAgainstDecompress draws.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "encoders/format_corpora.h"
#include "formats/format_table.h"
#include "files/files.h"
#include "scan/test_roms.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--game-like") == 0) {
    std::vector<quarvel::testing::PlacedBlock> placed;
    const auto rom = quarvel::testing::RealisticRom(4 << 20, quarvel::testing::kGameLikeSeed, placed);
    return quarvel::ReplaceFileContents(argv[2], rom) ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "--preview-block") == 0) {
    const auto block = quarvel::CodecOf(quarvel::Format::Nemesis).compress(quarvel::testing::TileArt(1375, 7));
    return block && quarvel::ReplaceFileContents(argv[2], *block) ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_corpus DIR\n       write_corpus --game-like FILE\n       write_corpus --preview-block FILE\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::map<quarvel::Format, int> counts;
  for (const auto& sample : quarvel::testing::FormatCorpora()) {
    char name[64];
    std::snprintf(name, sizeof name, "%s-%02d.dat", std::string(quarvel::FormatName(sample.format)).c_str(),
                  ++counts[sample.format]);
    if (!quarvel::ReplaceFileContents(folder / name, sample.data)) return 1;
  }
  return 0;
}
