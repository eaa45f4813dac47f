#include "scan/format_probes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "decoders/enigma.h"
#include "decoders/kosinski.h"
#include "decoders/kosinski_moduled.h"
#include "decoders/nemesis.h"
#include "scan/games_output.h"
#include "scan/kosinski_scan.h"

namespace quarvel {
namespace {

constexpr std::size_t kKosinskiMinimum = 32;
// What a command no encoder writes takes from how well a block fits its bytes, past the
// first (where costs tie, an encoder may write one).
constexpr std::int64_t kOddityCost = 64;
constexpr std::int64_t kUnfit = std::numeric_limits<std::int32_t>::min();  // too many to count
// The shortest stream whose being the games' own output is evidence of a block.
constexpr std::uint64_t kTellingStream = 64;

double Clamp(double value) { return std::clamp(value, 0.0, 1.0); }

// One Kosinski scanner for the Kosinski and the Kosinski Moduled weighers of a scan.
std::shared_ptr<const KosinskiScanner> SharedKosinskiScanner(std::span<const std::uint8_t> rom) {
  static std::mutex mutex;
  static std::weak_ptr<const KosinskiScanner> last;
  static std::span<const std::uint8_t> lastRom;
  const std::lock_guard lock(mutex);
  auto scanner = last.lock();
  if (!scanner || lastRom.data() != rom.data() || lastRom.size() != rom.size()) {
    scanner = std::make_shared<const KosinskiScanner>(rom);
    last = scanner;
    lastRom = rom;
  }
  return scanner;
}

// A Kosinski stream an encoder wrote has no odd command, or one where costs tie; one
// that runs into a block from other bytes has many. Clear of them, a stream is surer the
// more commands it holds and the better it packs.
ScanHit WeighKosinski(std::span<const std::uint8_t> rom, std::size_t offset, const BlockProbe& probe) {
  const auto decoded = static_cast<std::int64_t>(probe.decodedSize);
  const auto compressed = static_cast<std::int64_t>(probe.compressedSize);
  const auto commands = KosinskiScanner::Read(rom, offset);
  const unsigned odd = std::max(commands.oddities, 1u) - 1;
  const double ratio = static_cast<double>(decoded) / static_cast<double>(compressed);
  const double confidence = Clamp(0.5 + 0.3 * Clamp(std::log2(commands.count / 16.0) / 6) +
                                  0.2 * Clamp((ratio - 1) / 2) - 0.25 * odd);
  return {probe.decodedSize, probe.compressedSize, confidence,
          commands.oddities > 4 ? kUnfit : decoded - compressed - kOddityCost * odd};
}

// Whether a stream is long enough that its being the games' own output tells: a few
// bytes in a run of zeros (one byte value repeated, say) are what the games' compressor
// makes of their data by chance.
bool Telling(std::uint64_t compressed) { return compressed >= kTellingStream; }

// A block that is the games' own output, whatever its size: sure.
ScanHit GamesOwn(std::size_t decoded, std::uint64_t compressed) {
  return {decoded, compressed, 1.0, static_cast<std::int64_t>(decoded) - static_cast<std::int64_t>(compressed), true};
}

}  // namespace

ScanWeigher KosinskiWeigher(std::span<const std::uint8_t> rom) {
  return [rom, scanner = SharedKosinskiScanner(rom)](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = scanner->At(offset);
    if (!probe || probe->decodedSize < kKosinskiMinimum) return std::nullopt;
    if (Telling(probe->compressedSize) && IsGamesKosinski(rom, offset))
      return GamesOwn(probe->decodedSize, probe->compressedSize);
    if (probe->compressedSize > probe->decodedSize) return std::nullopt;
    return WeighKosinski(rom, offset, *probe);
  };
}

// Modules that each decode to 0x1000 bytes and a last one to what the header says, each
// found as a Kosinski block; weighed as its first module, and surer than that module
// alone. A last module that holds other than the header says is two bytes that happen to
// stand before a Kosinski block, unless the block is the games' own output (as three of
// their files are).
ScanWeigher KosinskiModuledWeigher(std::span<const std::uint8_t> rom) {
  return [rom, scanner = SharedKosinskiScanner(rom)](std::size_t offset) -> std::optional<ScanHit> {
    if (offset + 2 >= rom.size()) return std::nullopt;
    const std::size_t size = std::size_t{rom[offset]} << 8 | rom[offset + 1];
    if (size == 0) return std::nullopt;
    const std::size_t modules = (size + kModuleBytes - 1) / kModuleBytes, first = offset + 2;
    std::size_t at = first, decoded = 0;
    std::optional<BlockProbe> firstModule;
    for (std::size_t m = 0; m < modules; ++m) {
      if (m != 0) at = first + (at - first + kModulePadding - 1) / kModulePadding * kModulePadding;
      const auto module = scanner->At(at);
      if (!module || (m + 1 < modules && module->decodedSize != kModuleBytes)) return std::nullopt;
      if (m == 0) firstModule = module;
      decoded += module->decodedSize;
      at += module->compressedSize;
    }
    if (decoded < kKosinskiMinimum) return std::nullopt;
    if (Telling(at - offset) && IsGamesKosinskiModuled(rom, offset)) return GamesOwn(decoded, at - offset);
    if (decoded != size || decoded < at - offset) return std::nullopt;
    ScanHit hit = WeighKosinski(rom, first, *firstModule);
    hit.decodedSize = decoded;
    hit.compressedSize = at - offset;
    hit.confidence = Clamp(hit.confidence + 0.2);
    return hit;
  };
}

// An Enigma list with a header as encoders make it (N the width of the largest tile
// index, M the flags that are set), no entry an encoder would not write, zero bits
// after its end entry, three entries or more and 16 words or more, no fewer bytes than
// it takes; surer the more entries it has, and when a zero byte pads it to an even length.
ScanWeigher EnigmaWeigher(std::span<const std::uint8_t> rom) {
  return [rom](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = ProbeEnigma(rom, offset);
    if (!probe || !probe->paddedWithZeros || probe->sizes.decodedSize < 32) return std::nullopt;
    if (Telling(probe->sizes.compressedSize) && IsGamesEnigma(rom, offset))
      return GamesOwn(probe->sizes.decodedSize, probe->sizes.compressedSize);
    if (!probe->tightHeader || probe->entries < 3 || probe->sizes.decodedSize < probe->sizes.compressedSize)
      return std::nullopt;
    const double confidence =
        0.2 + 0.15 * (probe->evenWithZero ? 1 : 0) + 0.65 * Clamp(std::log2(probe->entries / 3.0) / 5);
    return ScanHit{probe->sizes.decodedSize, probe->sizes.compressedSize, confidence,
                   static_cast<std::int64_t>(probe->sizes.decodedSize) -
                       static_cast<std::int64_t>(probe->sizes.compressedSize)};
  };
}

ScanWeigher NemesisWeigher(std::span<const std::uint8_t> rom) {
  return [rom](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = ProbeNemesis(rom, offset);
    if (!probe) return std::nullopt;
    const std::size_t decoded = std::size_t{probe->tiles} * kNemesisTileBytes;
    if (Telling(probe->compressedSize) && IsGamesNemesis(rom, offset)) return GamesOwn(decoded, probe->compressedSize);
    // An encoder defines codes that the stream uses, all of them; then the more tiles and
    // the fuller the code space, the surer.
    const double confidence = 0.3 + 0.4 * (probe->codesUsed == probe->codes ? 1 : 0) +
                              0.15 * Clamp(std::log2(probe->tiles) / 6) + 0.15 * probe->coveredEntries / 252.0;
    return ScanHit{decoded, probe->compressedSize, confidence,
                   static_cast<std::int64_t>(decoded) - static_cast<std::int64_t>(probe->compressedSize)};
  };
}

}  // namespace quarvel
