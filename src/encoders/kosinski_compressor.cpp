#include "encoders/kosinski_compressor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>

#include "decoders/kosinski.h"
#include "encoders/kosinski_matches.h"
#include "encoders/kosinski_writer.h"

namespace quarvel {
namespace {

// A command's cost: its operand bytes and its descriptor bits. Where the descriptor
// bits end decides where the next descriptor's two bytes come, so the parse runs over
// (position, bits already taken from the current descriptor): 16 lanes a position.
enum class Command : std::uint8_t { Literal, Inline, Full, FullExtended };
struct Cost {
  unsigned bytes;
  unsigned bits;
};
constexpr Cost kCosts[] = {{1, 1}, {1, 4}, {2, 2}, {3, 2}};
constexpr Cost kEndMarker = {3, 2};
constexpr unsigned kLanes = 16;

// Bytes that a command adds when `taken` bits of the descriptor are already used:
// its operands, and a new descriptor when its bits fill the current one.
constexpr unsigned Added(Cost cost, unsigned taken) { return cost.bytes + 2 * ((taken + cost.bits) / kLanes); }

using Lanes = std::array<std::int32_t, kLanes>;
constexpr std::int32_t kUnreached = std::numeric_limits<std::int32_t>::max();

// Four lanes as one vector, so that the compiler works on them at once.
using Quad = std::int32_t __attribute__((vector_size(4 * sizeof(std::int32_t))));
inline Quad Load(const std::int32_t* lanes) {
  Quad quad;
  std::memcpy(&quad, lanes, sizeof quad);
  return quad;
}
inline void Store(std::int32_t* lanes, Quad quad) { std::memcpy(lanes, &quad, sizeof quad); }
// Each lane of `a` where `chosen` is set (all ones), else of `b`.
inline Quad Select(Quad chosen, Quad a, Quad b) { return (a & chosen) | (b & ~chosen); }

// For each lane, the cheapest value over some positions and the position it is at.
// Taking from positions in order, the first of equally cheap ones stays (or, with
// `kFirstOnTies` false, the last).
struct Cheapest {
  Lanes cost;
  Lanes position;

  void Clear() { cost.fill(kUnreached); }
  template <bool kFirstOnTies = true>
  void Take(const Lanes& costs, const Lanes& positions) {
    for (unsigned k = 0; k < kLanes; k += 4) {
      const Quad offered = Load(&costs[k]), held = Load(&cost[k]);
      const Quad cheaper = kFirstOnTies ? offered < held : offered <= held;
      Store(&cost[k], Select(cheaper, offered, held));
      Store(&position[k], Select(cheaper, Load(&positions[k]), Load(&position[k])));
    }
  }
  void Take(const Cheapest& other) { Take(other.cost, other.position); }
  template <bool kFirstOnTies = true>
  void Take(const Lanes& costs, std::size_t at) {
    Lanes positions;
    positions.fill(static_cast<std::int32_t>(at));
    Take<kFirstOnTies>(costs, positions);
  }
};

// The fewest bytes from each position on, kept for the 256 positions that a command
// can reach ahead, with the cheapest of each aligned group of 16 positions and of the
// stretches from a group's start to each position and from each position to its
// group's end, so that the cheapest landing of a long copy is found a group at a time.
class Remaining {
 public:
  static constexpr std::size_t kRing = 512;  // more than 256 + 16 positions
  static constexpr std::size_t kGroup = 16;

  const Lanes& At(std::size_t p) const { return cost_[p % kRing]; }

  // Sets the lanes of position p; positions are set from the last one down.
  void Set(std::size_t p, const Lanes& lanes) {
    const std::size_t slot = p % kRing;
    cost_[slot] = lanes;
    const bool groupEnd = p % kGroup == kGroup - 1 || p == last_;
    Cheapest& toEnd = toGroupEnd_[slot];
    if (groupEnd) {
      toEnd.Clear();
    } else {
      toEnd = toGroupEnd_[(p + 1) % kRing];
    }
    toEnd.Take<false>(lanes, p);  // p comes before the positions after it
    // The group's own cheapest keeps the last of equal costs, as it is built backwards.
    Cheapest& group = groups_[p / kGroup % (kRing / kGroup)];
    if (groupEnd) group.Clear();
    group.Take(lanes, p);
    if (p % kGroup == 0) {
      Cheapest running;
      running.Clear();
      for (std::size_t q = p; q < p + kGroup && q <= last_; ++q) {
        running.Take(At(q), q);
        fromGroupStart_[q % kRing] = running;
      }
    }
  }
  void SetLast(std::size_t last) { last_ = last; }

  // The cheapest of positions first..last, each lane on its own; of equal costs, the
  // first position of the stretch before the first whole group, else the group's own
  // choice of the first whole group, else the first position after the whole groups.
  Cheapest Over(std::size_t first, std::size_t last) const {
    Cheapest best;
    best.Clear();
    std::size_t p = first;
    if (first / kGroup == last / kGroup) {
      if (first % kGroup == 0 && last % kGroup == kGroup - 1) return groups_[first / kGroup % (kRing / kGroup)];
      if (first % kGroup == 0) return fromGroupStart_[last % kRing];
      if (last % kGroup == kGroup - 1) return toGroupEnd_[first % kRing];
      for (; p <= last; ++p) best.Take(At(p), p);
      return best;
    }
    if (p % kGroup != 0) {
      best = toGroupEnd_[p % kRing];
      p += kGroup - p % kGroup;
    }
    for (; p + kGroup - 1 <= last; p += kGroup) best.Take(groups_[p / kGroup % (kRing / kGroup)]);
    if (p <= last) best.Take(fromGroupStart_[last % kRing]);
    return best;
  }

 private:
  std::array<Lanes, kRing> cost_{};
  std::array<Cheapest, kRing / kGroup> groups_{};
  std::array<Cheapest, kRing> toGroupEnd_{};
  std::array<Cheapest, kRing> fromGroupStart_{};
  std::size_t last_ = 0;
};

// The parse's choice at a position and lane: the command in the top bits, its length
// below.
using Choice = std::uint16_t;
constexpr Choice MakeChoice(Command command, unsigned length) { return static_cast<Choice>(unsigned(command) << 9 | length); }
constexpr Command CommandOf(Choice choice) { return static_cast<Command>(choice >> 9); }
constexpr unsigned LengthOf(Choice choice) { return choice & 0x1FF; }

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressKosinski(std::span<const std::uint8_t> data) {
  if (data.empty()) return Fail(std::string("Kosinski cannot hold empty data: its decoder gives at least one byte"));
  if (data.size() > kKosinskiCapacity) {
    return Fail("the data has " + std::to_string(data.size()) + " bytes; Kosinski holds at most " +
                std::to_string(kKosinskiCapacity));
  }
  const std::size_t n = data.size();
  const auto matches = FindKosinskiMatches(data);

  // From the end back: remaining.At(i)[t] is the fewest stream bytes that write data[i..]
  // and the end marker with t bits of the current descriptor taken.
  auto remaining = std::make_unique<Remaining>();
  remaining->SetLast(n);
  Lanes end;
  for (unsigned t = 0; t < kLanes; ++t) end[t] = static_cast<std::int32_t>(Added(kEndMarker, t));
  remaining->Set(n, end);
  std::vector<std::array<Choice, kLanes>> choice(n);

  for (std::size_t i = n; i-- > 0;) {
    const KosinskiMatch& match = matches[i];
    Lanes best;
    auto& chosen = choice[i];
    const Lanes& next = remaining->At(i + 1);
    for (unsigned t = 0; t < kLanes; ++t) {
      best[t] = static_cast<std::int32_t>(Added(kCosts[0], t)) + next[(t + kCosts[0].bits) % kLanes];
      chosen[t] = MakeChoice(Command::Literal, 1);
    }
    // Every length of a kind costs the same, so each lane takes the length whose
    // landing is cheapest.
    auto consider = [&](Command command, unsigned from, unsigned to) {
      if (from > to) return;
      const Cost cost = kCosts[static_cast<int>(command)];
      const Cheapest landing = remaining->Over(i + from, i + to);
      for (unsigned t = 0; t < kLanes; ++t) {
        const unsigned u = (t + cost.bits) % kLanes;
        const std::int32_t total = static_cast<std::int32_t>(Added(cost, t)) + landing.cost[u];
        if (total < best[t]) {
          best[t] = total;
          chosen[t] = MakeChoice(command, static_cast<unsigned>(landing.position[u] - i));
        }
      }
    };
    consider(Command::Inline, 2, std::min<unsigned>(5, match.nearLength));
    consider(Command::Full, 3, std::min<unsigned>(9, match.farLength));
    consider(Command::FullExtended, 10, match.farLength);
    remaining->Set(i, best);
  }

  KosinskiWriter writer;
  unsigned taken = 0;
  for (std::size_t i = 0; i < n;) {
    const Choice c = choice[i][taken];
    const unsigned length = LengthOf(c);
    const KosinskiMatch& match = matches[i];
    switch (CommandOf(c)) {
      case Command::Literal: writer.Literal(data[i]); break;
      case Command::Inline: writer.InlineCopy(match.nearDistance, length); break;
      case Command::Full: writer.FullCopy(match.farDistance, length); break;
      case Command::FullExtended: writer.FullCopy(match.farDistance, length, true); break;
    }
    taken = (taken + kCosts[static_cast<int>(CommandOf(c))].bits) % kLanes;
    i += length;
  }
  return writer.Finish();
}

}  // namespace quarvel
