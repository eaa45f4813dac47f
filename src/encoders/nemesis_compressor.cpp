#include "encoders/nemesis_compressor.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <numeric>
#include <span>

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
using Frequencies = std::array<std::uint64_t, kSymbols>;

// The stretches of one block by pixel and length, and the cuts of them into runs of 1
// to 8 that take the fewest bits at some costs (eights first when all cost alike). The
// best cut of a stretch depends on its pixel and length alone: each pixel's cuts are
// found once, up to its longest stretch, and stretches alike are counted, not cut, while
// only the frequencies of the runs are asked.
class StretchCuts {
 public:
  explicit StretchCuts(const std::vector<NemesisStretch>& stretches) : stretches_(stretches) {
    for (const auto& stretch : stretches) {
      auto& count = count_[stretch.pixel];
      if (count.size() <= stretch.length) count.resize(stretch.length + 1);
      ++count[stretch.length];
    }
  }

  // Each stretch's runs, in order.
  std::vector<Run> Runs(const SymbolCosts& costs) {
    FindCuts(costs);
    std::vector<Run> runs;
    runs.reserve(stretches_.size());
    for (const auto& stretch : stretches_)
      for (std::uint32_t left = stretch.length; left > 0; left -= part_[stretch.pixel][left])
        runs.push_back({stretch.pixel, part_[stretch.pixel][left]});
    return runs;
  }

  Frequencies FrequenciesOfRuns(const SymbolCosts& costs) {
    FindCuts(costs);
    Frequencies frequency{};
    for (unsigned pixel = 0; pixel < 16; ++pixel) {
      for (std::uint32_t length = 1; length < count_[pixel].size(); ++length) {
        if (count_[pixel][length] == 0) continue;
        for (std::uint32_t left = length; left > 0; left -= part_[pixel][left])
          frequency[pixel * 8u + part_[pixel][left] - 1] += count_[pixel][length];
      }
    }
    return frequency;
  }

 private:
  void FindCuts(const SymbolCosts& costs) {
    for (unsigned pixel = 0; pixel < 16; ++pixel) {
      const std::size_t size = count_[pixel].size();
      const unsigned base = pixel * 8u;
      best_.assign(size, 0);
      part_[pixel].assign(size, 0);
      for (std::uint32_t left = 1; left < size; ++left) {
        best_[left] = UINT32_MAX;
        for (unsigned take = std::min<std::uint32_t>(8, left); take >= 1; --take) {
          const std::uint32_t cost = best_[left - take] + costs[base + take - 1];
          if (cost < best_[left]) {
            best_[left] = cost;
            part_[pixel][left] = static_cast<std::uint8_t>(take);
          }
        }
      }
    }
  }

  const std::vector<NemesisStretch>& stretches_;
  std::array<std::vector<std::uint32_t>, 16> count_;  // [pixel][length]: how many stretches
  std::array<std::vector<std::uint8_t>, 16> part_;    // [pixel][left]: the first run of the best cut
  std::vector<std::uint32_t> best_;
};

// The package-merge's last level for weights in ascending order: each level the leaves
// merged with the packages of pairs of the level below, by weight (a leaf first of equal
// ones), `limit` levels in all. Each level is merged from both ends at once, two chains
// of loads that do not wait on each other, without a branch (which comes next is as
// good as random): the lists have a lighter than any item before them and a heavier
// after them. `isPackage` marks which items of each level (2n apart) are packages.
const std::vector<std::int64_t>& PackageMerge(std::span<const std::uint64_t> ascending, unsigned limit,
                                              std::vector<std::uint32_t>& isPackage) {
  const std::size_t n = ascending.size();
  constexpr std::int64_t kLighter = -1, kHeavier = INT64_MAX;
  thread_local std::vector<std::int64_t> leaves, items, packages;
  leaves.assign(1, kLighter);
  leaves.insert(leaves.end(), ascending.begin(), ascending.end());
  leaves.push_back(kHeavier);
  items.assign(leaves.begin() + 1, leaves.end() - 1);
  isPackage.assign(2 * n * limit, 0);
  for (unsigned depth = 1; depth < limit; ++depth) {
    const std::size_t pairs = items.size() / 2;
    packages.resize(pairs + 2);
    packages.front() = kLighter;
    for (std::size_t k = 0; k < pairs; ++k) packages[k + 1] = items[2 * k] + items[2 * k + 1];
    packages.back() = kHeavier;
    items.resize(n + pairs);
    std::uint32_t* const mark = &isPackage[depth * 2 * n];
    std::size_t leaf = 1, pair = 1, lastLeaf = n, lastPair = pairs;
    std::size_t front = 0, back = items.size();
    while (back - front >= 2) {
      const bool leafFirst = leaves[leaf] <= packages[pair];
      mark[front] = !leafFirst;
      items[front++] = leafFirst ? leaves[leaf] : packages[pair];
      leaf += leafFirst;
      pair += !leafFirst;
      const bool packageLast = packages[lastPair] >= leaves[lastLeaf];
      mark[--back] = packageLast;
      items[back] = packageLast ? packages[lastPair] : leaves[lastLeaf];
      lastPair -= packageLast;
      lastLeaf -= !packageLast;
    }
    if (front < back) {
      mark[front] = leaves[leaf] > packages[pair];
      items[front] = std::min(leaves[leaf], packages[pair]);
    }
  }
  return items;
}

// Code lengths of at most `limit` bits that minimise the weighted length, by the
// package-merge algorithm. Needs at least two weights.
std::vector<unsigned> LimitedLengths(const std::vector<std::uint64_t>& weights, unsigned limit) {
  const std::size_t n = weights.size();
  // The symbols by weight, the first of equal weights first.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> leaves(n);
  for (std::size_t k = 0; k < n; ++k) leaves[k] = {weights[k], static_cast<std::uint32_t>(k)};
  std::sort(leaves.begin(), leaves.end());
  std::vector<std::uint64_t> ascending(n);
  for (std::size_t k = 0; k < n; ++k) ascending[k] = leaves[k].first;
  // The items chosen at a level are its first ones: which of them are packages is all
  // that the lengths need.
  std::vector<std::uint32_t> isPackage;
  PackageMerge(ascending, limit, isPackage);
  const std::size_t width = 2 * n;
  // The first 2n - 2 items of the last level are chosen, and through each chosen package
  // the first two items below it: a symbol's length is the number of levels where it is
  // among the chosen leaves.
  std::vector<unsigned> lengths(n, 0);
  std::size_t chosen = 2 * n - 2;
  for (unsigned depth = limit; depth-- > 0;) {
    const std::uint32_t* package = &isPackage[depth * width];
    std::size_t packages = 0;
    for (std::size_t k = 0; k < chosen; ++k) packages += package[k];
    for (std::size_t leaf = 0; leaf < chosen - packages; ++leaf) ++lengths[leaves[leaf].second];
    chosen = 2 * packages;
  }
  return lengths;
}

// The fewest bits that codes of at most `limit` bits take for symbols of these weights
// (their lengths times their weights), as LimitedLengths' lengths take. A Huffman code
// takes the fewest of any code: when its longest code fits, that is the answer, found in
// one pass over the weights, in ascending order; and when `enough` holds for its bits,
// those are the answer too (a bound that the caller needs no closer).
template <class Enough>
std::uint64_t FewestBits(std::span<const std::uint64_t> ascending, unsigned limit, Enough enough) {
  // Two queues by weight: the leaves, and the joined nodes, made in ascending order.
  struct Node {
    std::uint64_t weight;
    unsigned height;
  };
  thread_local std::vector<Node> joined;
  joined.clear();
  std::size_t leaf = 0, next = 0;
  const auto take = [&]() -> Node {
    if (next == joined.size() || (leaf < ascending.size() && ascending[leaf] <= joined[next].weight))
      return {ascending[leaf++], 0};
    return joined[next++];
  };
  std::uint64_t bits = 0;
  for (std::size_t joins = 1; joins < ascending.size(); ++joins) {
    const Node a = take(), b = take();
    joined.push_back({a.weight + b.weight, std::max(a.height, b.height) + 1});
    bits += a.weight + b.weight;
  }
  if (joined.back().height <= limit || enough(bits)) return bits;
  // Else the package-merge's: the weight of the first 2n - 2 items of its last level.
  const std::size_t n = ascending.size();
  thread_local std::vector<std::uint32_t> isPackage;
  const auto& items = PackageMerge(ascending, limit, isPackage);
  return static_cast<std::uint64_t>(
      std::accumulate(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(2 * n - 2), std::int64_t{0}));
}

struct Code {
  unsigned symbol;
  unsigned length;
  unsigned bits;
};

// The codes of a block and the bytes it takes in all.
struct Plan {
  std::vector<Code> codes;
  std::uint64_t bytes = UINT64_MAX;
};

// The bytes of a block with `codes` codes for pairs of `palettes` pixel values and a
// stream of `bits`: the header, the table description (a palette byte for each pixel
// value, two bytes a code, the end byte) and the stream.
std::uint64_t BlockBytes(std::uint64_t bits, std::size_t codes, std::size_t palettes) {
  return 2 + palettes + 2 * codes + 1 + (bits + 7) / 8;
}

struct Weight {
  std::uint64_t bits;  // of the stream
  std::uint64_t bytes;
};

// The block whose codes stand for `coded` (in descending order of frequency), with the
// lengths that take the fewest stream bits; every other pair inline. `inlineBits`: the
// bits of every pair inline. A block that cannot take fewer than `beaten` bytes is
// weighed no closer than that.
Weight Weigh(const Frequencies& frequency, std::uint64_t inlineBits, std::span<const unsigned> coded,
             std::uint64_t beaten) {
  std::uint64_t bits = inlineBits;
  std::bitset<16> pixels;
  for (const auto s : coded) pixels.set(s / 8);
  const auto bytes = [&](std::uint64_t streamBits) { return BlockBytes(streamBits, coded.size(), pixels.count()); };
  if (!coded.empty()) {
    // Four weightless symbols hold the four entries of the inline prefix.
    std::array<std::uint64_t, kSymbols + 4> ascending{};
    const std::size_t size = coded.size() + 4;
    for (std::size_t k = 0; k < coded.size(); ++k) {
      bits -= kInlineBits * frequency[coded[k]];
      ascending[size - 1 - k] = frequency[coded[k]];
    }
    bits += FewestBits(std::span(ascending).first(size), kMaxCodeLength,
                       [&](std::uint64_t fewest) { return bytes(bits + fewest) >= beaten; });
  }
  return {bits, bytes(bits)};
}

// The codes of the block that Weigh weighs.
std::vector<Code> CodesOf(const Frequencies& frequency, std::span<const unsigned> coded) {
  std::vector<Code> codes;
  if (coded.empty()) return codes;
  std::vector<std::uint64_t> weights(coded.size() + 4, 0);
  for (std::size_t k = 0; k < coded.size(); ++k) weights[k] = frequency[coded[k]];
  const auto lengths = LimitedLengths(weights, kMaxCodeLength);
  for (std::size_t k = 0; k < coded.size(); ++k) codes.push_back({coded[k], lengths[k], 0});
  return codes;
}

// The pairs worth a code: a code saves bits on every use and costs two bytes of table
// (three with a new palette byte), so of the sets made of the most frequent pairs the
// best is taken, then pairs are put in or left out one at a time while that helps.
Plan ChoosePlan(const Frequencies& frequency) {
  std::vector<unsigned> used;
  for (unsigned s = 0; s < kSymbols; ++s)
    if (frequency[s] > 0) used.push_back(s);
  std::stable_sort(used.begin(), used.end(), [&](auto a, auto b) { return frequency[a] > frequency[b]; });

  using Set = std::bitset<kSymbols>;  // by place in `used`
  std::array<unsigned, kSymbols> codedPairs;
  const auto codedIn = [&](const Set& set) {
    std::size_t count = 0;
    for (std::size_t k = 0; k < used.size(); ++k)
      if (set[k]) codedPairs[count++] = used[k];
    return std::span<const unsigned>(codedPairs).first(count);
  };
  Set in;
  std::uint64_t inlineBits = 0;
  for (unsigned s = 0; s < kSymbols; ++s) inlineBits += kInlineBits * frequency[s];
  Weight best = Weigh(frequency, inlineBits, {}, UINT64_MAX);
  // A code for one more pair saves at most 12 of the 13 bits of each of its uses, and
  // makes no other code shorter: a set that cannot be smaller than the best even so is
  // not weighed. `fewestBits`: the fewest stream bits the set can take; once it is
  // weighed, the bits it takes (or as many as showed that it loses).
  auto better = [&](const Set& set, std::uint64_t& fewestBits) {
    const auto coded = codedIn(set);
    std::bitset<16> pixels;
    for (const auto s : coded) pixels.set(s / 8);
    if (BlockBytes(fewestBits, coded.size(), pixels.count()) >= best.bytes) return false;
    const Weight weight = Weigh(frequency, inlineBits, coded, best.bytes);
    fewestBits = weight.bits;
    if (weight.bytes >= best.bytes) return false;
    best = weight;
    in = set;
    return true;
  };
  const auto savedAtMost = [&](std::size_t k) { return (kInlineBits - 1) * frequency[used[k]]; };
  Set mostFrequent;
  std::uint64_t fewestBits = best.bits;  // of the most frequent pairs so far
  for (std::size_t count = 1; count <= used.size(); ++count) {
    fewestBits -= savedAtMost(count - 1);
    better(mostFrequent.set(count - 1), fewestBits);
  }
  // The pairs the games' compressor would code, with the best lengths for them: so that
  // no block is larger than the games' own.
  const auto games = AccurateNemesisCodes(frequency);
  Set gamesCoded;
  for (std::size_t k = 0; k < used.size(); ++k) gamesCoded[k] = !games[used[k]].empty();
  std::uint64_t gamesBits = 0;  // not known before it is weighed
  better(gamesCoded, gamesBits);
  for (bool improved = true; improved;) {
    improved = false;
    for (std::size_t k = 0; k < used.size(); ++k) {
      std::uint64_t bound = in[k] ? 0 : best.bits - savedAtMost(k);
      improved |= better(Set(in).flip(k), bound);
    }
  }
  Plan plan{CodesOf(frequency, codedIn(in)), best.bytes};

  // Canonical codes, shortest first, from 0 up.
  auto& codes = plan.codes;
  std::stable_sort(codes.begin(), codes.end(), [](const Code& a, const Code& b) { return a.length < b.length; });
  unsigned next = 0, length = codes.empty() ? 0 : codes.front().length;
  for (auto& code : codes) {
    next <<= code.length - length;
    length = code.length;
    code.bits = next++;
  }
  return plan;
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

// A mode's plan: its codes, the bytes its block takes, and its runs.
struct ModePlan {
  Plan plan;
  std::vector<Run> runs;
};

ModePlan PlanMode(std::span<const std::uint8_t> tiles, bool xorMode) {
  // Two starts: runs cut into eights first, and runs cut at costs estimated from how
  // often each pair occurs. From each, the runs are cut again at the costs of the codes
  // chosen, and codes chosen again for the new runs, while the block gets smaller.
  const auto stretches = NemesisStretches(tiles, xorMode);
  StretchCuts cuts(stretches);
  SymbolCosts eights;
  eights.fill(1);
  const Frequencies eightsFirst = cuts.FrequenciesOfRuns(eights);
  SymbolCosts estimatedCosts = eights;
  Frequencies estimated = eightsFirst;
  for (unsigned round = 0; round < 6; ++round) {
    estimatedCosts = EstimatedCosts(estimated);
    estimated = cuts.FrequenciesOfRuns(estimatedCosts);
  }
  // The rounds often come back to runs already planned (the two starts to the same):
  // each plan is chosen once.
  std::vector<std::pair<Frequencies, Plan>> planned;
  const auto planFor = [&](const Frequencies& frequency) {
    const auto known = std::find_if(planned.begin(), planned.end(), [&](const auto& p) { return p.first == frequency; });
    if (known != planned.end()) return known->second;
    return planned.emplace_back(frequency, ChoosePlan(frequency)).second;
  };
  Plan plan;
  SymbolCosts planCosts = eights;  // what the runs of `plan` are cut at
  const std::pair<SymbolCosts, Frequencies> starts[] = {{eights, eightsFirst}, {estimatedCosts, estimated}};
  for (const auto& [startCosts, startFrequencies] : starts) {
    SymbolCosts cutAt = startCosts;
    auto startPlan = planFor(startFrequencies);
    for (unsigned round = 0; round < 4; ++round) {
      SymbolCosts costs;
      costs.fill(kInlineBits);
      for (const auto& code : startPlan.codes) costs[code.symbol] = code.length;
      auto replan = planFor(cuts.FrequenciesOfRuns(costs));
      if (replan.bytes >= startPlan.bytes) break;
      cutAt = costs;
      startPlan = std::move(replan);
    }
    if (startPlan.bytes < plan.bytes) {
      planCosts = cutAt;
      plan = std::move(startPlan);
    }
  }
  auto runs = cuts.Runs(planCosts);
  return {std::move(plan), std::move(runs)};
}

std::vector<std::uint8_t> Block(std::span<const std::uint8_t> tiles, bool xorMode, ModePlan mode) {
  auto& codes = mode.plan.codes;

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
  for (const auto& run : mode.runs) {
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
  // Only the smaller mode's block is written (plain of equals).
  auto plain = PlanMode(tiles, false), xorMode = PlanMode(tiles, true);
  const bool xorSmaller = xorMode.plan.bytes < plain.plan.bytes;
  return Block(tiles, xorSmaller, std::move(xorSmaller ? xorMode : plain));
}

}  // namespace quarvel
