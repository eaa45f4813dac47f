// Catalogue files of any bytes: always some list of entries, and that list survives a
// save and a load unchanged (a double quote, which a file cannot hold, as an apostrophe).
#include <algorithm>
#include <cstdlib>
#include <span>

#include "catalogue/catalogue_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto entries = quarvel::ParseCatalogue(std::span<const std::uint8_t>(data, size));
  const auto reread = quarvel::ParseCatalogue(quarvel::SerializeCatalogue(entries));
  for (auto& entry : entries) std::replace(entry.begin(), entry.end(), '"', '\'');
  if (reread != entries) std::abort();
  return 0;
}
