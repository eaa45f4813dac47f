// The seed of a randomised test: QUARVEL_TEST_SEED when it is set, so that a failure
// can be replayed, else the test's own. The test shows it with SCOPED_TRACE(SeedTrace(seed)).
#pragma once

#include <cstdlib>
#include <string>

namespace quarvel::testing {

inline unsigned TestSeed(unsigned fallback) {
  const char* text = std::getenv("QUARVEL_TEST_SEED");
  return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

inline std::string SeedTrace(unsigned seed) {
  return "seed " + std::to_string(seed) + " (QUARVEL_TEST_SEED=" + std::to_string(seed) + " replays it)";
}

}  // namespace quarvel::testing
