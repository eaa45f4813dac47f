// Writes the tests' corpora as files, a format each, for the benchmarks that run whole
// programs on them: write_corpus DIR makes DIR/kosinski-01.dat, DIR/nemesis-01.dat, ...
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "encoders/format_corpora.h"
#include "files/files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_corpus DIR\n");
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
