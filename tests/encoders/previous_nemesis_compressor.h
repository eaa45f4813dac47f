// The Nemesis compressor as it was before it weighed the code table's own bytes: codes
// for the most frequent pairs by stream bits alone, runs cut into eights. What the
// compressor of today is measured against, input by input.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <span>
#include <vector>

#include "decoders/nemesis.h"

namespace quarvel::previous {
namespace detail {

constexpr unsigned kMaxCodeLength = 8;
constexpr unsigned kInlineBits = 13;
constexpr unsigned kSymbols = 16 * 8;    // (pixel, run of 1 to 8)

struct Run {
  std::uint8_t pixel;
  std::uint8_t length;  // 1 to 8
  unsigned Symbol() const { return pixel * 8u + length - 1u; }
};

// The pixels of the rows, first pixel of each row first, as runs of at most 8.
inline std::vector<Run> Runs(std::span<const std::uint8_t> tiles, bool xorMode) {
  std::vector<Run> runs;
  std::uint32_t previous = 0;
  for (std::size_t at = 0; at < tiles.size(); at += 4) {
    const std::uint32_t row = std::uint32_t{tiles[at]} << 24 | std::uint32_t{tiles[at + 1]} << 16 |
                              std::uint32_t{tiles[at + 2]} << 8 | tiles[at + 3];
    const std::uint32_t pixels = xorMode ? row ^ previous : row;
    previous = row;
    for (int shift = 28; shift >= 0; shift -= 4) {
      const auto pixel = static_cast<std::uint8_t>(pixels >> shift & 0xF);
      if (!runs.empty() && runs.back().pixel == pixel && runs.back().length < 8)
        ++runs.back().length;
      else
        runs.push_back({pixel, 1});
    }
  }
  return runs;
}

// Code lengths of at most `limit` bits that minimise the weighted length, by the
// package-merge algorithm. Needs at least two weights.
inline std::vector<unsigned> LimitedLengths(const std::vector<std::uint64_t>& weights, unsigned limit) {
  struct Item {
    std::uint64_t weight;
    std::vector<std::uint16_t> leaves;  // symbols, each once per level it is chosen at
  };
  std::vector<std::size_t> order(weights.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return weights[a] < weights[b]; });
  std::vector<Item> leaves;
  for (const auto symbol : order) leaves.push_back({weights[symbol], {static_cast<std::uint16_t>(symbol)}});

  std::vector<Item> level = leaves;
  for (unsigned depth = 1; depth < limit; ++depth) {
    std::vector<Item> packages;
    for (std::size_t i = 0; i + 1 < level.size(); i += 2) {
      Item package{level[i].weight + level[i + 1].weight, level[i].leaves};
      package.leaves.insert(package.leaves.end(), level[i + 1].leaves.begin(), level[i + 1].leaves.end());
      packages.push_back(std::move(package));
    }
    std::vector<Item> merged;
    std::merge(leaves.begin(), leaves.end(), packages.begin(), packages.end(), std::back_inserter(merged),
               [](const Item& a, const Item& b) { return a.weight < b.weight; });
    level = std::move(merged);
  }
  std::vector<unsigned> lengths(weights.size(), 0);
  for (std::size_t i = 0; i < 2 * weights.size() - 2; ++i)
    for (const auto symbol : level[i].leaves) ++lengths[symbol];
  return lengths;
}

struct Code {
  unsigned symbol;
  unsigned length;
  unsigned bits;
};

// The codes for the most frequent symbols, the rest left to the inline code: of every
// split by frequency, the one that takes the fewest bits. The codes fill the table
// from entry 0 and leave entries 252-255 to the inline prefix.
inline std::vector<Code> ChooseCodes(const std::array<std::uint64_t, kSymbols>& frequency) {
  std::vector<unsigned> used;
  for (unsigned s = 0; s < kSymbols; ++s)
    if (frequency[s] > 0) used.push_back(s);
  std::stable_sort(used.begin(), used.end(), [&](auto a, auto b) { return frequency[a] > frequency[b]; });

  std::uint64_t bestBits = 0;
  for (const auto s : used) bestBits += kInlineBits * frequency[s];
  std::vector<Code> best;
  for (std::size_t coded = 1; coded <= used.size(); ++coded) {
    // Four weightless symbols hold the four entries of the inline prefix.
    std::vector<std::uint64_t> weights(coded + 4, 0);
    for (std::size_t k = 0; k < coded; ++k) weights[k] = frequency[used[k]];
    const auto lengths = LimitedLengths(weights, kMaxCodeLength);
    std::uint64_t bits = 0;
    std::vector<Code> codes;
    for (std::size_t k = 0; k < used.size(); ++k) {
      if (k < coded) {
        bits += lengths[k] * frequency[used[k]];
        codes.push_back({used[k], lengths[k], 0});
      } else {
        bits += kInlineBits * frequency[used[k]];
      }
    }
    if (bits < bestBits) {
      bestBits = bits;
      best = std::move(codes);
    }
  }
  // Canonical codes, shortest first, from 0 up.
  std::stable_sort(best.begin(), best.end(), [](const Code& a, const Code& b) { return a.length < b.length; });
  unsigned next = 0, length = best.empty() ? 0 : best.front().length;
  for (auto& code : best) {
    next <<= code.length - length;
    length = code.length;
    code.bits = next++;
  }
  return best;
}

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(unsigned value, unsigned count) {
    while (count-- > 0) {
      if (used_ == 8) {
        out_.push_back(0);
        used_ = 0;
      }
      if (value >> count & 1u) out_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
      ++used_;
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
  unsigned used_ = 8;
};

inline std::vector<std::uint8_t> Block(std::span<const std::uint8_t> tiles, bool xorMode) {
  const auto runs = Runs(tiles, xorMode);
  std::array<std::uint64_t, kSymbols> frequency{};
  for (const auto& run : runs) ++frequency[run.Symbol()];
  auto codes = ChooseCodes(frequency);

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

}  // namespace detail
using namespace detail;

inline std::vector<std::uint8_t> CompressNemesis(std::span<const std::uint8_t> tiles) {
  auto plain = Block(tiles, false);
  auto xorMode = Block(tiles, true);
  return xorMode.size() < plain.size() ? std::move(xorMode) : std::move(plain);
}

}  // namespace quarvel::previous
