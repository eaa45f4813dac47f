#include "scan/start_filters.h"

#include "common/format.h"
#include "decoders/enigma.h"
#include "decoders/nemesis.h"
#include "scan/kosinski_scan.h"
#include "scan/saxman_scan.h"

namespace quarvel {
namespace {

constexpr unsigned Bit(Format format) { return 1u << static_cast<unsigned>(format); }

}  // namespace

void FormatStarts(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may) {
  // The Kosinski test of each offset first: it serves Kosinski Moduled two offsets before.
  for (std::size_t i = 0; i < count; ++i)
    may[i] = static_cast<std::uint8_t>(KosinskiScanner::MayStartAt(rom, first + i) ? Bit(Format::Kosinski) : 0);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t offset = first + i;
    const bool kosinskiAfter = i + 2 < count ? (may[i + 2] & Bit(Format::Kosinski)) != 0
                                             : KosinskiScanner::MayStartAt(rom, offset + 2);
    const bool moduled = kosinskiAfter && offset + 2 < rom.size() && (rom[offset] | rom[offset + 1]) != 0;
    may[i] |= static_cast<std::uint8_t>((moduled ? Bit(Format::KosinskiModuled) : 0) |
                                        (NemesisMayStartAt(rom, offset) ? Bit(Format::Nemesis) : 0) |
                                        (EnigmaMayStartAt(rom, offset) ? Bit(Format::Enigma) : 0) |
                                        (SaxmanMayStartAt(rom, offset) ? Bit(Format::Saxman) : 0));
  }
}

}  // namespace quarvel
