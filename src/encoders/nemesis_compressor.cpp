#include "encoders/nemesis_compressor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "decoders/nemesis.h"
#include "encoders/bit_writer.h"
#include "encoders/nemesis_accurate.h"
#include "encoders/nemesis_stretches.h"

namespace quarvel {
namespace {

constexpr unsigned kMaxCodeLength = 8;
constexpr unsigned kInlineBits = 13;
constexpr unsigned kSymbols = 16 * 8;    // (pixel, run of 1 to 8)

struct Run {
  std::uint8_t pixel;
  std::uint8_t length;  // 1 to 8
  unsigned Symbol() const { return pixel * 8u + length - 1u; }
};

// Bits that each (pixel, run) takes: its code's length, or the inline code's.
using SymbolCosts = std::array<unsigned, kSymbols>;

// Each stretch cut into runs of 1 to 8 that take the fewest bits at `costs` (eights
// first when all cost alike). The best cut of a stretch depends on its pixel and length
// alone: each pixel's cuts are found once, up to its longest stretch.
std::vector<Run> Cut(const std::vector<NemesisStretch>& stretches, const SymbolCosts& costs) {
  std::array<std::uint32_t, 16> longest{};
  for (const auto& stretch : stretches) longest[stretch.pixel] = std::max(longest[stretch.pixel], stretch.length);
  // part[pixel][left]: the first run of the best cut of `left` pixels.
  std::array<std::vector<std::uint8_t>, 16> part;
  std::vector<std::uint32_t> best;
  for (unsigned pixel = 0; pixel < 16; ++pixel) {
    if (longest[pixel] == 0) continue;
    const unsigned base = pixel * 8u;
    best.assign(longest[pixel] + 1, 0);
    part[pixel].assign(longest[pixel] + 1, 0);
    for (std::uint32_t left = 1; left <= longest[pixel]; ++left) {
      best[left] = UINT32_MAX;
      for (unsigned take = std::min<std::uint32_t>(8, left); take >= 1; --take) {
        const std::uint32_t cost = best[left - take] + costs[base + take - 1];
        if (cost < best[left]) {
          best[left] = cost;
          part[pixel][left] = static_cast<std::uint8_t>(take);
        }
      }
    }
  }
  std::vector<Run> runs;
  runs.reserve(stretches.size());
  for (const auto& stretch : stretches)
    for (std::uint32_t left = stretch.length; left > 0; left -= part[stretch.pixel][left])
      runs.push_back({stretch.pixel, part[stretch.pixel][left]});
  return runs;
}

// Code lengths of at most `limit` bits that minimise the weighted length, by the
// package-merge algorithm. Needs at least two weights.
std::vector<unsigned> LimitedLengths(const std::vector<std::uint64_t>& weights, unsigned limit) {
  // An item of a level: a leaf (a symbol) or a package of two items of the level below.
  struct Item {
    std::uint64_t weight;
    std::int32_t leaf;    // the symbol, or -1 for a package
    std::uint32_t first;  // a package's first item in the level below; the second follows it
  };
  const std::size_t n = weights.size();
  // The work lists, kept by the thread from one call to the next: this runs hundreds of
  // times a block.
  thread_local std::vector<std::size_t> order;
  thread_local std::vector<Item> leaves, packages;
  thread_local std::vector<std::vector<Item>> levels;
  thread_local std::vector<std::uint8_t> chosen, below;
  order.resize(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return weights[a] < weights[b]; });
  leaves.clear();
  for (const auto symbol : order) leaves.push_back({weights[symbol], static_cast<std::int32_t>(symbol), 0});

  levels.resize(std::max<std::size_t>(levels.size(), limit));
  levels[0] = leaves;
  for (unsigned depth = 1; depth < limit; ++depth) {
    const std::vector<Item>& lower = levels[depth - 1];
    packages.clear();
    for (std::size_t i = 0; i + 1 < lower.size(); i += 2)
      packages.push_back({lower[i].weight + lower[i + 1].weight, -1, static_cast<std::uint32_t>(i)});
    levels[depth].clear();
    std::merge(leaves.begin(), leaves.end(), packages.begin(), packages.end(), std::back_inserter(levels[depth]),
               [](const Item& a, const Item& b) { return a.weight < b.weight; });
  }
  // The first 2n - 2 items of the last level are chosen; a symbol's length is the number
  // of times it is chosen, through the packages, at every level.
  std::vector<unsigned> lengths(n, 0);
  chosen.assign(levels[limit - 1].size(), 0);
  std::fill(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(2 * n - 2), 1);
  for (unsigned depth = limit; depth-- > 0;) {
    below.assign(depth > 0 ? levels[depth - 1].size() : 0, 0);
    for (std::size_t i = 0; i < levels[depth].size(); ++i) {
      if (chosen[i] == 0) continue;
      const Item& item = levels[depth][i];
      if (item.leaf >= 0) {
        ++lengths[static_cast<std::size_t>(item.leaf)];
      } else {
        below[item.first] = 1;
        below[item.first + 1] = 1;
      }
    }
    chosen.swap(below);
  }
  return lengths;
}

struct Code {
  unsigned symbol;
  unsigned length;
  unsigned bits;
};

using Frequencies = std::array<std::uint64_t, kSymbols>;

// The codes of a block and the bytes it takes in all.
struct Plan {
  std::vector<Code> codes;
  std::uint64_t bytes = UINT64_MAX;
};

// The block whose codes stand for `coded`, with the lengths that take the fewest stream
// bits; every other pair inline. Its bytes: the header, the table description (a palette
// byte for each pixel value, two bytes a code, the end byte) and the stream.
Plan Weigh(const Frequencies& frequency, const std::vector<unsigned>& coded) {
  Plan plan;
  std::uint64_t bits = 0;
  for (unsigned s = 0; s < kSymbols; ++s) bits += kInlineBits * frequency[s];
  if (!coded.empty()) {
    // Four weightless symbols hold the four entries of the inline prefix.
    std::vector<std::uint64_t> weights(coded.size() + 4, 0);
    for (std::size_t k = 0; k < coded.size(); ++k) weights[k] = frequency[coded[k]];
    const auto lengths = LimitedLengths(weights, kMaxCodeLength);
    for (std::size_t k = 0; k < coded.size(); ++k) {
      bits -= (kInlineBits - lengths[k]) * frequency[coded[k]];
      plan.codes.push_back({coded[k], lengths[k], 0});
    }
  }
  std::array<bool, 16> pixels{};
  for (const auto s : coded) pixels[s / 8] = true;
  const auto palettes = static_cast<std::uint64_t>(std::count(pixels.begin(), pixels.end(), true));
  plan.bytes = 2 + palettes + 2 * coded.size() + 1 + (bits + 7) / 8;
  return plan;
}

// The pairs worth a code: a code saves bits on every use and costs two bytes of table
// (three with a new palette byte), so of the sets made of the most frequent pairs the
// best is taken, then pairs are put in or left out one at a time while that helps.
Plan ChoosePlan(const Frequencies& frequency) {
  std::vector<unsigned> used;
  for (unsigned s = 0; s < kSymbols; ++s)
    if (frequency[s] > 0) used.push_back(s);
  std::stable_sort(used.begin(), used.end(), [&](auto a, auto b) { return frequency[a] > frequency[b]; });

  Plan best = Weigh(frequency, {});
  std::vector<bool> in(used.size(), false);
  for (std::size_t count = 1; count <= used.size(); ++count) {
    auto plan = Weigh(frequency, {used.begin(), used.begin() + static_cast<std::ptrdiff_t>(count)});
    if (plan.bytes < best.bytes) {
      best = std::move(plan);
      std::fill(in.begin(), in.end(), false);
      std::fill(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(count), true);
    }
  }
  // The pairs the games' compressor would code, with the best lengths for them: so that
  // no block is larger than the games' own.
  const auto games = AccurateNemesisCodes(frequency);
  std::vector<unsigned> gamesCoded;
  for (const auto s : used)
    if (!games[s].empty()) gamesCoded.push_back(s);
  if (auto plan = Weigh(frequency, gamesCoded); plan.bytes < best.bytes) {
    best = std::move(plan);
    for (std::size_t k = 0; k < used.size(); ++k) in[k] = !games[used[k]].empty();
  }
  for (bool better = true; better;) {
    better = false;
    for (std::size_t k = 0; k < used.size(); ++k) {
      in[k] = !in[k];
      std::vector<unsigned> coded;
      for (std::size_t j = 0; j < used.size(); ++j)
        if (in[j]) coded.push_back(used[j]);
      auto plan = Weigh(frequency, coded);
      if (plan.bytes < best.bytes) {
        best = std::move(plan);
        better = true;
      } else {
        in[k] = !in[k];
      }
    }
  }

  // Canonical codes, shortest first, from 0 up.
  auto& codes = best.codes;
  std::stable_sort(codes.begin(), codes.end(), [](const Code& a, const Code& b) { return a.length < b.length; });
  unsigned next = 0, length = codes.empty() ? 0 : codes.front().length;
  for (auto& code : codes) {
    next <<= code.length - length;
    length = code.length;
    code.bits = next++;
  }
  return best;
}

Frequencies FrequenciesOf(const std::vector<Run>& runs) {
  Frequencies frequency{};
  for (const auto& run : runs) ++frequency[run.Symbol()];
  return frequency;
}

// What each pair would take a use if it had a code: its share of the runs in bits, and
// its table record's 16 bits spread over its uses (in sixteenths of a bit). Cutting at
// these costs makes runs that a code would serve, before any code is chosen.
SymbolCosts EstimatedCosts(const Frequencies& frequency) {
  constexpr double kScale = 16;
  const double total = static_cast<double>(std::accumulate(frequency.begin(), frequency.end(), std::uint64_t{0}));
  SymbolCosts costs;
  for (unsigned s = 0; s < kSymbols; ++s) {
    const double uses = static_cast<double>(frequency[s]);
    const double bits = uses == 0 ? kInlineBits : std::log2(total / uses) + 16 / uses;
    costs[s] = static_cast<unsigned>(std::lround(std::clamp(bits, 1.0, double{kInlineBits}) * kScale));
  }
  return costs;
}

std::vector<std::uint8_t> Block(std::span<const std::uint8_t> tiles, bool xorMode) {
  // Two starts: runs cut into eights first, and runs cut at costs estimated from how
  // often each pair occurs. From each, the runs are cut again at the costs of the codes
  // chosen, and codes chosen again for the new runs, while the block gets smaller.
  const auto stretches = NemesisStretches(tiles, xorMode);
  std::vector<Run> runs;
  Plan plan;
  SymbolCosts eights;
  eights.fill(1);
  const auto eightsFirst = Cut(stretches, eights);
  auto estimated = eightsFirst;
  for (unsigned round = 0; round < 6; ++round) estimated = Cut(stretches, EstimatedCosts(FrequenciesOf(estimated)));
  for (auto& start : {eightsFirst, estimated}) {
    auto startRuns = start;
    auto startPlan = ChoosePlan(FrequenciesOf(startRuns));
    for (unsigned round = 0; round < 4; ++round) {
      SymbolCosts costs;
      costs.fill(kInlineBits);
      for (const auto& code : startPlan.codes) costs[code.symbol] = code.length;
      auto recut = Cut(stretches, costs);
      auto replan = ChoosePlan(FrequenciesOf(recut));
      if (replan.bytes >= startPlan.bytes) break;
      startRuns = std::move(recut);
      startPlan = std::move(replan);
    }
    if (startPlan.bytes < plan.bytes) {
      runs = std::move(startRuns);
      plan = std::move(startPlan);
    }
  }
  auto& codes = plan.codes;

  const std::size_t count = tiles.size() / kNemesisTileBytes;
  std::vector<std::uint8_t> block{static_cast<std::uint8_t>((xorMode ? 0x80 : 0) | count >> 8),
                                  static_cast<std::uint8_t>(count & 0xFF)};
  std::sort(codes.begin(), codes.end(), [](const Code& a, const Code& b) { return a.symbol < b.symbol; });
  int pixel = -1;
  for (const auto& code : codes) {
    if (static_cast<int>(code.symbol / 8) != pixel) {
      pixel = static_cast<int>(code.symbol / 8);
      block.push_back(static_cast<std::uint8_t>(0x80 | pixel));
    }
    block.push_back(static_cast<std::uint8_t>((code.symbol % 8) << 4 | code.length));
    block.push_back(static_cast<std::uint8_t>(code.bits));
  }
  block.push_back(0xFF);

  std::array<const Code*, kSymbols> bySymbol{};
  for (const auto& code : codes) bySymbol[code.symbol] = &code;
  BitWriter stream(block);
  for (const auto& run : runs) {
    if (const Code* code = bySymbol[run.Symbol()])
      stream.Put(code->bits, code->length);
    else
      stream.Put(0b111111u << 7 | (run.length - 1u) << 4 | run.pixel, kInlineBits);
  }
  return block;
}

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressNemesis(std::span<const std::uint8_t> tiles) {
  if (tiles.size() % kNemesisTileBytes != 0) {
    return Fail("the data has " + std::to_string(tiles.size()) + " bytes, which is not a whole number of 32-byte tiles");
  }
  if (tiles.size() > kNemesisMaxTiles * kNemesisTileBytes) {
    return Fail("the data has " + std::to_string(tiles.size() / kNemesisTileBytes) + " tiles; Nemesis holds at most " +
                std::to_string(kNemesisMaxTiles));
  }
  auto plain = Block(tiles, false);
  auto xorMode = Block(tiles, true);
  return xorMode.size() < plain.size() ? std::move(xorMode) : std::move(plain);
}

}  // namespace quarvel
