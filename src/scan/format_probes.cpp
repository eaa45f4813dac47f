#include "scan/format_probes.h"

#include <algorithm>
#include <bit>
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
#include "scan/saxman_scan.h"

namespace quarvel {
namespace {

constexpr std::size_t kKosinskiMinimum = 32;
// What a command no encoder writes takes from how well a block fits its bytes, past the
// first (where costs tie, an encoder may write one).
constexpr std::int64_t kOddityCost = 64;
constexpr std::int64_t kUnfit = std::numeric_limits<std::int32_t>::min();  // too many to count
// The shortest stream whose being the games' own output is evidence of a block: where
// the games place blocks (an even offset), and elsewhere. Of 16 bytes or more, none in
// 288 MiB of random bytes, code, tiles and tables came up at an even offset.
constexpr std::uint64_t kTellingStream = 16;
constexpr std::uint64_t kTellingStreamAtOddOffset = 64;

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

// The games place their Kosinski, Nemesis, Enigma and Kosinski Moduled blocks at even
// offsets, every one; a hack may place one at an odd offset, where a stream read from
// other bytes is as likely. Such a stream is weighed lower there (a bit stream, Nemesis
// or Enigma, is read from any bytes at all, far more often than a run of Kosinski
// commands that ends at its marker) and, unless it is the games' own output, listed
// under 0.5: a hack's block there is listed, not taken for one.
constexpr double kOddOffsetDoubt = 0.05;
constexpr double kOddOffsetBitStreamDoubt = 0.15;
constexpr double kListedOnly = 0.45;

// `hit` of a block at `offset`, weighed lower (by `doubt`) at an odd offset unless it is
// the games' own output.
ScanHit Placed(std::size_t offset, ScanHit hit, double doubt) {
  if (offset % 2 != 0 && !hit.gamesOwn) {
    hit.confidence = Clamp(hit.confidence - doubt);
    hit.ceiling = kListedOnly;
  }
  return hit;
}

// Fewer decoded bytes than this, a Kosinski or Enigma stream that is not the games' own
// output is listed under 0.5: code holds many streams of a few dozen bytes of either
// (a fill loop of 68000 code reads as an Enigma map of 47 words). One that is, but too
// short for that to tell (see Telling), is weighed as any other.
constexpr std::size_t kShortStream = 128;

ScanHit Short(ScanHit hit, const std::function<bool()>& gamesOutput) {
  if (hit.decodedSize < kShortStream && !gamesOutput()) hit.ceiling = kListedOnly;
  return hit;
}

// The most an Enigma stream whose inline values look like noise is weighed.
constexpr double kNoiseLikeMap = 0.3;

// A map's tiles share a few palette lines and flips, one combination most of all.
// Inline values whose flag bits take about as many combinations as chance would, none
// of them common, are noise read as a map.
bool NoiseLikeFlags(const EnigmaProbe& probe, unsigned mask) {
  std::uint32_t values = 0, kinds = 0, commonest = 0;
  for (const auto count : probe.inlineFlags) {
    values += count;
    kinds += count != 0;
    commonest = std::max(commonest, count);
  }
  const double combinations = std::exp2(std::popcount(mask));
  const double byChance = combinations * (1 - std::pow(1 - 1 / combinations, values));
  return kinds >= 4 && kinds > 0.6 * byChance && commonest * 2 < values;
}

// Whether a stream at `offset` is long enough that its being the games' own output
// tells: a few bytes (in a run of zeros, in another block's bytes) are what the games'
// compressor makes of their data by chance, at an odd offset more often than the games
// placed a block there.
bool Telling(std::size_t offset, std::uint64_t compressed) {
  return compressed >= (offset % 2 == 0 ? kTellingStream : kTellingStreamAtOddOffset);
}

// A block that is the games' own output, whatever its size: sure.
ScanHit GamesOwn(std::size_t decoded, std::uint64_t compressed) {
  return {decoded, compressed, 1.0, static_cast<std::int64_t>(decoded) - static_cast<std::int64_t>(compressed), true};
}

}  // namespace

ScanWeigher KosinskiWeigher(std::span<const std::uint8_t> rom) {
  return [rom, scanner = SharedKosinskiScanner(rom)](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = scanner->At(offset);
    if (!probe || probe->decodedSize < kKosinskiMinimum) return std::nullopt;
    const bool telling = Telling(offset, probe->compressedSize);
    if (telling && IsGamesKosinski(rom, offset)) return GamesOwn(probe->decodedSize, probe->compressedSize);
    if (probe->compressedSize > probe->decodedSize) return std::nullopt;
    const auto games = [&] { return !telling && IsGamesKosinski(rom, offset); };
    return Placed(offset, Short(WeighKosinski(rom, offset, *probe), games), kOddOffsetDoubt);
  };
}

// Modules that each decode to 0x1000 bytes and a last one to what the header says, each
// found as a Kosinski block; weighed as its first module, and surer than that module
// alone. A header that states other than the modules hold is two bytes that happen to
// stand before a Kosinski block (before the games' own, any two bytes make the games'
// own Kosinski Moduled block), unless it states half of what they hold in a block of
// the games' own output, as three of their files do.
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
    if (decoded != size && decoded != 2 * size) return std::nullopt;
    if (Telling(offset, at - offset) && IsGamesKosinskiModuled(rom, offset)) return GamesOwn(decoded, at - offset);
    if (decoded != size || decoded < at - offset) return std::nullopt;
    ScanHit hit = WeighKosinski(rom, first, *firstModule);
    hit.decodedSize = decoded;
    hit.compressedSize = at - offset;
    hit.confidence = Clamp(hit.confidence + 0.2);
    return Placed(offset, hit, kOddOffsetDoubt);
  };
}

// An Enigma list with a header as encoders make it (N the width of the largest tile
// index, M the flags that are set), no entry an encoder would not write, zero bits
// after its end entry, three entries or more and 16 words or more, no fewer bytes than
// it takes; surer the more entries it has, and when a zero byte pads it to an even length;
// hardly a map when its inline values' flags look like noise.
ScanWeigher EnigmaWeigher(std::span<const std::uint8_t> rom) {
  return [rom](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = ProbeEnigma(rom, offset);
    if (!probe || !probe->paddedWithZeros || probe->sizes.decodedSize < 32) return std::nullopt;
    const bool telling = Telling(offset, probe->sizes.compressedSize);
    if (telling && IsGamesEnigma(rom, offset)) return GamesOwn(probe->sizes.decodedSize, probe->sizes.compressedSize);
    if (!probe->tightHeader || probe->entries < 3 || probe->sizes.decodedSize < probe->sizes.compressedSize)
      return std::nullopt;
    double confidence = 0.2 + 0.15 * (probe->evenWithZero ? 1 : 0) + 0.65 * Clamp(std::log2(probe->entries / 3.0) / 5);
    if (NoiseLikeFlags(*probe, rom[offset + 1])) confidence = std::min(confidence, kNoiseLikeMap);
    return Placed(offset,
                  Short(ScanHit{probe->sizes.decodedSize, probe->sizes.compressedSize, confidence,
                                static_cast<std::int64_t>(probe->sizes.decodedSize) -
                                    static_cast<std::int64_t>(probe->sizes.compressedSize)},
                        [&] { return !telling && IsGamesEnigma(rom, offset); }),
                  kOddOffsetBitStreamDoubt);
  };
}

ScanWeigher NemesisWeigher(std::span<const std::uint8_t> rom) {
  return [rom](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = ProbeNemesis(rom, offset);
    if (!probe) return std::nullopt;
    const std::size_t decoded = std::size_t{probe->tiles} * kNemesisTileBytes;
    if (Telling(offset, probe->compressedSize) && IsGamesNemesis(rom, offset)) return GamesOwn(decoded, probe->compressedSize);
    // An encoder defines codes that the stream uses, all of them; then the more tiles and
    // the fuller the code space, the surer.
    const double confidence = 0.3 + 0.4 * (probe->codesUsed == probe->codes ? 1 : 0) +
                              0.15 * Clamp(std::log2(probe->tiles) / 6) + 0.15 * probe->coveredEntries / 252.0;
    return Placed(offset, ScanHit{decoded, probe->compressedSize, confidence,
                                  static_cast<std::int64_t>(decoded) - static_cast<std::int64_t>(probe->compressedSize)},
                  kOddOffsetBitStreamDoubt);
  };
}

// The fewest copies that make a Saxman stream's being the games' own output tell: a run
// of literals is what any compressor writes for bytes that do not repeat, and any two
// bytes before it make a count.
constexpr std::size_t kTellingCopies = 8;

// A song's count of at least 16 stream bytes, up to the image's end; what it decodes to
// at least 32 bytes and no fewer than its stream takes (a song repeats itself). The sound
// CPU reads songs a byte at a time: a song at an odd offset is as likely as at an even one.
ScanWeigher SaxmanWeigher(std::span<const std::uint8_t> rom) {
  return [rom](std::size_t offset) -> std::optional<ScanHit> {
    const auto probe = ProbeSaxman(rom, offset, kTellingStream, 2);
    if (!probe || probe->block.bytes.size() < 32) return std::nullopt;
    const std::size_t decoded = probe->block.bytes.size();
    const std::uint64_t compressed = probe->block.compressedSize;
    if (decoded < compressed) return std::nullopt;
    if (probe->oddities == 0 && probe->copies >= kTellingCopies && IsGamesSaxman(rom, offset, probe->block.bytes))
      return GamesOwn(decoded, compressed);
    const double ratio = static_cast<double>(decoded) / static_cast<double>(compressed);
    const double confidence = Clamp(0.35 + 0.35 * Clamp(std::log2(probe->commands / 16.0) / 6) +
                                    0.2 * Clamp((ratio - 1) / 2) - 0.25 * probe->oddities);
    return ScanHit{decoded, compressed, confidence,
                   static_cast<std::int64_t>(decoded) - static_cast<std::int64_t>(compressed) -
                       kOddityCost * probe->oddities};
  };
}

}  // namespace quarvel
