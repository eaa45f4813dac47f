#include "scan/format_probes.h"

#include <algorithm>
#include <cmath>

#include "decoders/kosinski.h"
#include "decoders/nemesis.h"

namespace quarvel {
namespace {

constexpr std::size_t kKosinskiMinimum = 32;

double Clamp(double value) { return std::clamp(value, 0.0, 1.0); }

}  // namespace

std::optional<ScanHit> ScanKosinskiAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  const auto probe = ProbeKosinski(rom, offset);
  if (!probe || probe->decodedSize < kKosinskiMinimum || probe->decodedSize < probe->compressedSize)
    return std::nullopt;
  const double size = static_cast<double>(probe->decodedSize);
  const double ratio = size / static_cast<double>(probe->compressedSize);
  const double confidence = 0.6 * Clamp(std::log2(size / 16) / 8) + 0.4 * Clamp((ratio - 1) / 2);
  return ScanHit{probe->decodedSize, probe->compressedSize, confidence};
}

std::optional<ScanHit> ScanNemesisAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  const auto probe = ProbeNemesis(rom, offset);
  if (!probe) return std::nullopt;
  // A table built from the frequencies of the data fills the code space, has every code
  // used by the stream, and starts with a palette byte.
  const double confidence = 0.25 * probe->codesUsed / probe->codes + 0.25 * probe->coveredEntries / 252.0 +
                            0.2 * (probe->startsWithPalette ? 1 : 0) + 0.15 * Clamp(std::log2(probe->tiles) / 6) +
                            0.15 * Clamp(probe->codes / 8.0);
  return ScanHit{std::size_t{probe->tiles} * kNemesisTileBytes, probe->compressedSize, confidence};
}

}  // namespace quarvel
