#include "scan/format_probes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "decoders/kosinski.h"
#include "decoders/nemesis.h"
#include "scan/kosinski_scan.h"

namespace quarvel {
namespace {

constexpr std::size_t kKosinskiMinimum = 32;
// What a command no encoder writes takes from how well a block fits its bytes, past the
// first (where costs tie, an encoder may write one).
constexpr std::int64_t kOddityCost = 64;
constexpr std::int64_t kUnfit = std::numeric_limits<std::int32_t>::min();  // too many to count

double Clamp(double value) { return std::clamp(value, 0.0, 1.0); }

}  // namespace

ScanWeigher KosinskiWeigher(std::span<const std::uint8_t> rom) {
  return [rom, scanner = std::make_shared<const KosinskiScanner>(rom)](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = scanner->At(offset);
    if (!probe || probe->decodedSize < kKosinskiMinimum) return std::nullopt;
    const auto decoded = static_cast<std::int64_t>(probe->decodedSize);
    const auto compressed = static_cast<std::int64_t>(probe->compressedSize);
    const auto commands = KosinskiScanner::Read(rom, offset);
    // A stream an encoder wrote has no odd command, or one where costs tie; one that runs
    // into a block from other bytes has many. Clear of them, a stream is surer the more
    // commands it holds and the better it packs.
    const double ratio = static_cast<double>(decoded) / static_cast<double>(compressed);
    const double confidence =
        Clamp(0.5 + 0.3 * Clamp(std::log2(commands.count / 16.0) / 6) + 0.2 * Clamp((ratio - 1) / 2) -
              0.25 * (std::max(commands.oddities, 1u) - 1));
    return ScanHit{probe->decodedSize, probe->compressedSize, confidence, commands.oddities > 4 ? kUnfit : decoded - compressed - kOddityCost * (std::max(commands.oddities, 1u) - 1)};
  };
}

ScanWeigher NemesisWeigher(std::span<const std::uint8_t> rom) {
  return [rom](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = ProbeNemesis(rom, offset);
    if (!probe) return std::nullopt;
    // An encoder defines codes that the stream uses, all of them; then the more tiles and
    // the fuller the code space, the surer.
    const double confidence = 0.3 + 0.4 * (probe->codesUsed == probe->codes ? 1 : 0) +
                              0.15 * Clamp(std::log2(probe->tiles) / 6) + 0.15 * probe->coveredEntries / 252.0;
    const std::size_t decoded = std::size_t{probe->tiles} * kNemesisTileBytes;
    return ScanHit{decoded, probe->compressedSize, confidence,
                   static_cast<std::int64_t>(decoded) - static_cast<std::int64_t>(probe->compressedSize)};
  };
}

}  // namespace quarvel
