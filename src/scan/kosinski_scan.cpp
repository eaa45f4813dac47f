#include "scan/kosinski_scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <limits>
#include <new>
#include <vector>

#include "decoders/kosinski.h"

namespace quarvel {
namespace {

// The most a block decodes to, and the most a stream of one may take.
constexpr std::int64_t kLimit = kKosinskiCapacity;
constexpr std::int64_t kLongest = static_cast<std::int64_t>(KosinskiLongestStream(kKosinskiCapacity));
// The kept outcomes: a slot for each descriptor position, modulo 2^17 (1 MiB of slots) at
// most, tagged with the rest of the position (up to 128 MiB: past that nothing is kept).
// A walk reads up to 2 * kLongest bytes ahead, mostly a few hundred, and the threads
// walk chunks next to one another: positions 128 KiB apart seldom need their slots at
// once, and an outcome that overwrites another costs a walk, never a wrong answer. A
// larger table costs more in fresh pages than it saves in walks.
constexpr unsigned kMostShift = 17;
constexpr unsigned kTagBits = 10;
constexpr unsigned kOdditiesEnough = 4;  // more tell no more: counting stops
constexpr std::int64_t kNoCopy = std::numeric_limits<std::int64_t>::min() / 4;
constexpr std::size_t kGamesNoOpAt = 0xA000;

// A point where a walk has just ended the command during which it loaded the descriptor
// at `descriptor`: it has taken `bitsTaken` (0 to 3) of that descriptor's bits and read
// `operands` (1 to 3) bytes after it. What follows depends on nothing else.
struct Checkpoint {
  std::size_t descriptor;
  unsigned bitsTaken;
  unsigned operands;

  unsigned Variant() const { return bitsTaken * 3 + operands - 1; }
  std::size_t Position() const { return descriptor + 2 + operands; }
};

// What the walk from a checkpoint comes to.
struct Outcome {
  bool ends = false;            // at an end marker; otherwise no block goes through the checkpoint
  std::uint32_t decoded = 0;    // bytes from the checkpoint to the end marker
  std::uint32_t need = 0;       // bytes decoded before the checkpoint that keep every copy inside the block
  std::uint32_t endAfter = 0;   // the end marker's last byte, from the checkpoint's position
};

// A kept outcome in one word: 1 | variant (4 bits) | ends (1) | decoded (17) | need (14) |
// endAfter (17) | tag (10).
std::uint64_t Pack(const Checkpoint& at, std::uint64_t tag, const Outcome& o) {
  return 1 | std::uint64_t{at.Variant()} << 1 | std::uint64_t{o.ends} << 5 | std::uint64_t{o.decoded} << 6 |
         std::uint64_t{o.need} << 23 | std::uint64_t{o.endAfter} << 37 | tag << 54;
}
static_assert(54 + kTagBits == 64);

Outcome Unpack(std::uint64_t word) {
  return {(word >> 5 & 1) != 0, static_cast<std::uint32_t>(word >> 6 & 0x1FFFF),
          static_cast<std::uint32_t>(word >> 23 & 0x3FFF), static_cast<std::uint32_t>(word >> 37 & 0x1FFFF)};
}

// The walker of the decoder, with the descriptor loads it makes during a command noted.
class Walker {
 public:
  enum class Step { Literal, Copy, LongCopy, Nothing, EndMarker, Truncated };

  Walker(std::span<const std::uint8_t> rom, std::size_t position) : rom_(rom), position_(position) {}

  bool Start() {
    const bool loaded = Load();
    loadedAt_ = kNone;
    return loaded;
  }

  Step Next(std::int64_t& distance, std::int64_t& count) {
    unsigned bit;
    if (!Bit(bit)) return Step::Truncated;
    if (bit == 1) return Byte() ? Step::Literal : Step::Truncated;
    if (!Bit(bit)) return Step::Truncated;
    if (bit == 0) {
      unsigned high, low;
      if (!Bit(high) || !Bit(low) || !Byte()) return Step::Truncated;
      count = 2 * high + low + 2;
      distance = 256 - rom_[position_ - 1];
      return Step::Copy;
    }
    if (!Byte() || !Byte()) return Step::Truncated;
    const unsigned low = rom_[position_ - 2], high = rom_[position_ - 1];
    distance = 8192 - 256 * std::int64_t{high >> 3} - low;
    if ((high & 7u) != 0) {
      count = (high & 7u) + 2;
      return Step::LongCopy;
    }
    if (!Byte()) return Step::Truncated;
    const unsigned extended = rom_[position_ - 1];
    if (extended == 0) return Step::EndMarker;
    if (extended == 1) return Step::Nothing;
    count = extended + 1;
    return Step::LongCopy;
  }

  std::uint8_t Last() const { return rom_[position_ - 1]; }

  // The checkpoint the command just taken ended at, if it loaded a descriptor.
  std::optional<Checkpoint> TakeCheckpoint() {
    if (loadedAt_ == kNone) return std::nullopt;
    const Checkpoint at{loadedAt_, 16 - bitsLeft_, static_cast<unsigned>(position_ - loadedAt_ - 2)};
    loadedAt_ = kNone;
    return at;
  }

  std::size_t Position() const { return position_; }

 private:
  bool Load() {
    if (rom_.size() - position_ < 2) return false;
    descriptor_ = rom_[position_] | unsigned{rom_[position_ + 1]} << 8;
    loadedAt_ = position_;
    position_ += 2;
    bitsLeft_ = 16;
    return true;
  }

  bool Bit(unsigned& bit) {
    bit = descriptor_ & 1u;
    descriptor_ >>= 1;
    return --bitsLeft_ != 0 || Load();
  }

  bool Byte() {
    if (position_ == rom_.size()) return false;
    ++position_;
    return true;
  }

  std::span<const std::uint8_t> rom_;
  std::size_t position_;
  unsigned descriptor_ = 0;
  unsigned bitsLeft_ = 0;
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  std::size_t loadedAt_ = kNone;  // the descriptor loaded during the command being taken
};

}  // namespace

KosinskiScanner::KosinskiScanner(std::span<const std::uint8_t> rom)
    : serial_([] {
        static std::atomic<std::uint64_t> made{0};
        return ++made;
      }()),
      rom_(rom), shift_(std::min<unsigned>(kMostShift, std::bit_width(std::max<std::size_t>(rom.size(), 2) - 1))),
      kept_(static_cast<std::uint64_t*>(std::calloc(std::size_t{1} << shift_, sizeof(std::uint64_t)))) {
  if (!kept_) throw std::bad_alloc();
}

std::optional<BlockProbe> KosinskiScanner::At(std::size_t offset) const {
  if (!MayStartAt(rom_, offset)) return std::nullopt;
  struct Answer {
    std::uint64_t scanner = 0;  // the serial of the scanner asked
    std::size_t offset = 0;
    std::optional<BlockProbe> probe;
  };
  thread_local std::array<Answer, 4> recent;  // the last offsets this thread asked, by offset
  Answer& answer = recent[offset % recent.size()];
  if (answer.scanner != serial_ || answer.offset != offset) answer = {serial_, offset, Walk(offset)};
  return answer.probe;
}

std::optional<BlockProbe> KosinskiScanner::Walk(std::size_t offset) const {
  const std::size_t mask = (std::size_t{1} << shift_) - 1;
  // Positions past what a tag tells apart keep nothing.
  auto kept = [&](const Checkpoint& at) -> std::optional<Outcome> {
    const std::uint64_t word = std::atomic_ref(kept_[at.descriptor & mask]).load(std::memory_order_relaxed);
    if (word == 0 || (word >> 1 & 0xF) != at.Variant() || word >> 54 != at.descriptor >> shift_) return std::nullopt;
    return Unpack(word);
  };
  auto keep = [&](const Checkpoint& at, const Outcome& outcome) {
    if (at.descriptor >> shift_ >> kTagBits != 0) return;
    std::atomic_ref(kept_[at.descriptor & mask]).store(Pack(at, at.descriptor >> shift_, outcome),
                                                       std::memory_order_relaxed);
  };

  // The checkpoints passed, with the bytes decoded from `offset` before each and the
  // most that a copy after it (up to the next) reaches before the block's start.
  struct Passed {
    Checkpoint at;
    std::int64_t decodedBefore;
    std::int64_t reach;
  };
  thread_local std::vector<Passed> passed;
  passed.clear();

  Walker walker(rom_, offset);
  if (offset >= rom_.size() || !walker.Start()) return std::nullopt;
  std::int64_t decoded = 0;
  std::int64_t firstReach = kNoCopy;  // of the copies before the first checkpoint
  // How the walk ended: at an end marker (or a kept outcome that does) with `total`
  // bytes, the copies after the last checkpoint reaching `reach` before the start and the
  // marker's last byte at `last`; at no block; or cut short, the rest unknown.
  enum class Ending { Block, NoBlock, CutShort } ending;
  std::int64_t total = 0, reach = kNoCopy;
  std::size_t last = 0;
  for (;;) {
    if (const auto at = walker.TakeCheckpoint()) {
      if (const auto outcome = kept(*at)) {
        ending = outcome->ends ? Ending::Block : Ending::NoBlock;
        total = decoded + outcome->decoded;
        reach = std::int64_t{outcome->need} - decoded;
        last = at->Position() + outcome->endAfter;
        break;
      }
      passed.push_back({*at, decoded, kNoCopy});
      // Far enough for the outcomes of the first half of the checkpoints to be known.
      if (walker.Position() - offset > 2 * kLongest || decoded > 2 * kLimit) {
        ending = Ending::CutShort;
        break;
      }
    }
    std::int64_t& segmentReach = passed.empty() ? firstReach : passed.back().reach;
    std::int64_t distance = 0, count = 0;
    const auto step = walker.Next(distance, count);
    if (step == Walker::Step::Literal) {
      ++decoded;
    } else if (step == Walker::Step::Copy || step == Walker::Step::LongCopy) {
      segmentReach = std::max(segmentReach, distance - decoded);
      // A copy from before the start ends this offset's block; a short walk is not worth
      // following further for the checkpoints' sake.
      if (segmentReach > 0 && passed.size() < 2) return std::nullopt;
      decoded += count;
    } else if (step == Walker::Step::EndMarker) {
      ending = Ending::Block;
      total = decoded;
      last = walker.Position() - 1;
      break;
    } else if (step == Walker::Step::Truncated) {
      ending = Ending::NoBlock;
      break;
    }
  }

  // Back from the end, what each checkpoint passed comes to.
  for (auto it = passed.rbegin(); it != passed.rend(); ++it) {
    const std::int64_t position = static_cast<std::int64_t>(it->at.Position());
    reach = std::max(reach, it->reach);
    if (ending == Ending::CutShort) {
      if (static_cast<std::int64_t>(walker.Position()) - position > kLongest || decoded - it->decodedBefore > kLimit)
        keep(it->at, {});
      continue;
    }
    const std::int64_t after = total - it->decodedBefore;
    if (ending == Ending::NoBlock || after > kLimit || static_cast<std::int64_t>(last) + 1 - position > kLongest) {
      keep(it->at, {});
      continue;
    }
    keep(it->at, {true, static_cast<std::uint32_t>(after),
                  static_cast<std::uint32_t>(std::max<std::int64_t>(0, reach + it->decodedBefore)),
                  static_cast<std::uint32_t>(static_cast<std::int64_t>(last) - position)});
  }

  if (ending != Ending::Block || std::max(firstReach, reach) > 0 || total == 0 || total > kLimit) return std::nullopt;
  const std::uint64_t compressed = last + 1 - offset;
  if (compressed > KosinskiLongestStream(static_cast<std::uint64_t>(total))) return std::nullopt;
  return BlockProbe{static_cast<std::size_t>(total), compressed};
}

KosinskiScanner::Commands KosinskiScanner::Read(std::span<const std::uint8_t> rom, std::size_t offset) {
  std::vector<std::uint8_t> out;
  Walker walker(rom, offset);
  Commands commands;
  if (!walker.Start()) return commands;
  unsigned& oddities = commands.oddities;
  Walker::Step previous = Walker::Step::Nothing;
  std::int64_t lastDistance = 0, lastCount = 0;
  unsigned emptyCopies = 0;
  for (;;) {
    std::int64_t distance = 0, count = 0;
    const auto step = walker.Next(distance, count);
    const std::size_t n = out.size();
    ++commands.count;
    if (step == Walker::Step::Literal) {
      if (n == kKosinskiCapacity) break;
      const std::uint8_t byte = walker.Last();
      if (previous == Walker::Step::Literal && n >= 2 && out[n - 1] == byte && out[n - 2] == byte) ++oddities;
      // A copy is as long as it can be; past 253 bytes the games' compressor starts another.
      const bool copyGoesOn = previous == Walker::Step::Copy ? lastCount < 5 : lastCount < 253;
      if (previous != Walker::Step::Literal && previous != Walker::Step::Nothing && copyGoesOn &&
          out[n - static_cast<std::size_t>(lastDistance)] == byte)
        ++oddities;
      out.push_back(byte);
    } else if (step == Walker::Step::Copy || step == Walker::Step::LongCopy) {
      if (distance > static_cast<std::int64_t>(n) || n + static_cast<std::size_t>(count) > kKosinskiCapacity) break;
      // The games write a full copy of 3 to 5 bytes from 256 back: inline copies reach 255.
      if (step == Walker::Step::LongCopy && distance <= 255 && count <= 5) ++oddities;
      for (std::int64_t i = 0; i < count; ++i) out.push_back(out[out.size() - static_cast<std::size_t>(distance)]);
      lastDistance = distance;
      lastCount = count;
    } else if (step == Walker::Step::Nothing) {
      // The games write one empty copy, before the first command at 0xA000 or later.
      if (n < kGamesNoOpAt || emptyCopies++ > 0) ++oddities;
    } else {
      break;
    }
    if (oddities > kOdditiesEnough) break;
    previous = step;
  }
  return commands;
}

}  // namespace quarvel
