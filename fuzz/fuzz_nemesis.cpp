// Nemesis decoding of any bytes, the code table and the tiles: never a crash, whole
// tiles within the 8,192-tile limit, the same answer twice.
#include <cstdlib>
#include <span>

#include "decoders/nemesis.h"
#include "decoders/nemesis_code_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  (void)quarvel::NemesisBuildTable(rom);

  const auto first = quarvel::DecodeNemesis(rom, 0);
  const auto second = quarvel::DecodeNemesis(rom, 0);
  if (first.has_value() != second.has_value()) std::abort();
  if (!first) {
    if (first.error().kind != second.error().kind || first.error().position != second.error().position) std::abort();
    return 0;
  }
  const auto& bytes = first->bytes;
  if (bytes.size() % quarvel::kNemesisTileBytes != 0) std::abort();
  if (bytes.size() > quarvel::kNemesisMaxTiles * quarvel::kNemesisTileBytes) std::abort();
  const std::size_t tiles = (std::size_t{data[0]} & 0x7F) << 8 | data[1];
  if (bytes.size() != tiles * quarvel::kNemesisTileBytes) std::abort();
  if (first->compressedSize > size) std::abort();
  if (bytes != second->bytes) std::abort();
  return 0;
}
