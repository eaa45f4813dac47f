#include "scan/start_filters.h"

#include "decoders/enigma.h"
#include "decoders/nemesis.h"
#include "scan/kosinski_scan.h"
#include "scan/saxman_scan.h"

namespace quarvel {
namespace {

template <bool (*MayStartAt)(std::span<const std::uint8_t>, std::size_t)>
void Filter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may) {
  for (std::size_t i = 0; i < count; ++i) may[i] = MayStartAt(rom, first + i);
}

bool KosinskiModuledMayStartAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  return offset < rom.size() && rom.size() - offset > 2 && (rom[offset] | rom[offset + 1]) != 0 &&
         KosinskiScanner::MayStartAt(rom, offset + 2);
}

}  // namespace

void KosinskiStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may) {
  Filter<KosinskiScanner::MayStartAt>(rom, first, count, may);
}

void KosinskiModuledStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count,
                                std::uint8_t* may) {
  Filter<KosinskiModuledMayStartAt>(rom, first, count, may);
}

void NemesisStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may) {
  Filter<NemesisMayStartAt>(rom, first, count, may);
}

void EnigmaStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may) {
  Filter<EnigmaMayStartAt>(rom, first, count, may);
}

void SaxmanStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may) {
  Filter<SaxmanMayStartAt>(rom, first, count, may);
}

}  // namespace quarvel
