// The tests' corpora, a format each: mixed data for Kosinski, tile art for Nemesis and
// Kosinski Moduled, plane maps and mappings for Enigma, songs for Saxman.
#pragma once

#include <string>
#include <vector>

#include "common/format.h"
#include "encoders/kosinski_samples.h"
#include "encoders/nemesis_corpus.h"
#include "scan/test_roms.h"

namespace quarvel::testing {

struct FormatSample {
  Format format;
  std::string name;
  Bytes data;
};

inline std::vector<FormatSample> FormatCorpora() {
  std::vector<FormatSample> inputs;
  for (auto& sample : Samples()) inputs.push_back({Format::Kosinski, sample.name, std::move(sample.data)});
  for (auto& sample : NemesisCorpus()) inputs.push_back({Format::Nemesis, sample.name, std::move(sample.tiles)});
  for (unsigned seed = 0; seed < 8; ++seed) {
    inputs.push_back({Format::KosinskiModuled, "art " + std::to_string(seed), TileArt(10 + seed * 250, seed)});
    inputs.push_back({Format::Enigma, "plane map " + std::to_string(seed), PlaneMap(8 + seed * 5, 4 + seed % 5 * 7, seed)});
  }
  for (unsigned seed = 0; seed < 24; ++seed)
    inputs.push_back({Format::Saxman, "song " + std::to_string(seed), Song(300 + seed * 330, seed)});
  inputs.push_back({Format::Enigma, "mappings", Mappings(300, 4)});
  return inputs;
}

}  // namespace quarvel::testing
