#include "encoders/enigma_compressor.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <map>

#include "decoders/enigma.h"
#include "encoders/bit_writer.h"
#include "encoders/enigma_accurate.h"

namespace quarvel {
namespace {

enum class Kind : std::uint8_t { Incrementing, Literal, Repeat, Rising, Falling, List };

struct Header {
  unsigned lowBits;
  unsigned mask;
  std::uint16_t incrementing;
  std::uint16_t literal;
  unsigned InlineBits() const { return static_cast<unsigned>(std::popcount(mask)) + lowBits; }
};

// A way to have written the words up to a position: its cost in bits, the incrementing
// word's value there, and the entry that led to it from the state `from` of the
// position `count` words back.
struct State {
  std::uint32_t bits;
  std::uint16_t incrementing;
  Kind kind;
  std::uint8_t count;
  std::uint16_t from;
};

constexpr std::size_t kKeptStates = 8;
constexpr std::size_t kMostCount = 16;

// The cheapest parse of `words` under `header`, as its entries from the first.
std::vector<State> Parse(const std::vector<std::uint16_t>& words, const Header& header) {
  const std::size_t n = words.size();
  const unsigned inlineBits = header.InlineBits();
  std::vector<std::vector<State>> at(n + 1);
  at[0].push_back({0, header.incrementing, Kind::List, 0, 0});

  auto offer = [&](std::size_t to, const State& state) {
    for (auto& held : at[to]) {
      if (held.incrementing == state.incrementing) {
        if (state.bits < held.bits) held = state;
        return;
      }
    }
    at[to].push_back(state);
  };
  // Keeps the cheapest states, and the one whose incrementing word goes on at `p`.
  auto prune = [&](std::size_t p) {
    auto& states = at[p];
    std::stable_sort(states.begin(), states.end(), [](const State& a, const State& b) { return a.bits < b.bits; });
    if (states.size() > kKeptStates) {
      const auto useful = std::find_if(states.begin() + kKeptStates, states.end(),
                                       [&](const State& state) { return p < n && state.incrementing == words[p]; });
      const bool keepUseful = useful != states.end();
      if (keepUseful) std::swap(states[kKeptStates], *useful);
      states.resize(kKeptStates + (keepUseful ? 1 : 0));
    }
    states.shrink_to_fit();
  };

  for (std::size_t p = 0; p < n; ++p) {
    prune(p);
    const std::size_t room = std::min(kMostCount, n - p);
    auto runOf = [&](auto same) {
      std::size_t r = 1;
      while (r < room && same(r)) ++r;
      return r;
    };
    const std::size_t literal =
        words[p] == header.literal ? runOf([&](std::size_t k) { return words[p + k] == header.literal; }) : 0;
    const std::size_t repeat = runOf([&](std::size_t k) { return words[p + k] == words[p]; });
    const std::size_t rising = runOf([&](std::size_t k) { return words[p + k] == static_cast<std::uint16_t>(words[p] + k); });
    const std::size_t falling = runOf([&](std::size_t k) { return words[p + k] == static_cast<std::uint16_t>(words[p] - k); });
    for (std::size_t slot = 0; slot < at[p].size(); ++slot) {
      const State from = at[p][slot];
      auto step = [&](Kind kind, std::size_t count, std::uint32_t cost, std::uint16_t incrementing) {
        offer(p + count, {from.bits + cost, incrementing, kind, static_cast<std::uint8_t>(count),
                          static_cast<std::uint16_t>(slot)});
      };
      if (from.incrementing == words[p]) {
        for (std::size_t c = 1; c <= rising; ++c)
          step(Kind::Incrementing, c, 6, static_cast<std::uint16_t>(from.incrementing + c));
      }
      for (std::size_t c = 1; c <= literal; ++c) step(Kind::Literal, c, 6, from.incrementing);
      for (std::size_t c = 1; c <= repeat; ++c) step(Kind::Repeat, c, 7 + inlineBits, from.incrementing);
      for (std::size_t c = 2; c <= rising; ++c) step(Kind::Rising, c, 7 + inlineBits, from.incrementing);
      for (std::size_t c = 2; c <= falling; ++c) step(Kind::Falling, c, 7 + inlineBits, from.incrementing);
      for (std::size_t c = 1; c <= std::min<std::size_t>(room, 15); ++c)
        step(Kind::List, c, 7 + static_cast<std::uint32_t>(c) * inlineBits, from.incrementing);
    }
  }
  const auto& last = at[n];
  std::size_t slot = static_cast<std::size_t>(
      std::min_element(last.begin(), last.end(), [](const State& a, const State& b) { return a.bits < b.bits; }) -
      last.begin());
  std::vector<State> entries;
  for (std::size_t p = n; p > 0;) {
    const State& state = at[p][slot];
    entries.push_back(state);
    slot = state.from;
    p -= state.count;
  }
  std::reverse(entries.begin(), entries.end());
  return entries;
}

std::vector<std::uint8_t> Write(const std::vector<std::uint16_t>& words, const Header& header,
                                const std::vector<State>& entries) {
  std::vector<std::uint8_t> block{static_cast<std::uint8_t>(header.lowBits), static_cast<std::uint8_t>(header.mask),
                                  static_cast<std::uint8_t>(header.incrementing >> 8),
                                  static_cast<std::uint8_t>(header.incrementing),
                                  static_cast<std::uint8_t>(header.literal >> 8),
                                  static_cast<std::uint8_t>(header.literal)};
  BitWriter out(block);
  auto putInline = [&](std::uint16_t word) {
    for (int flag = 4; flag >= 0; --flag)
      if ((header.mask >> flag & 1u) != 0) out.Put(word >> (11 + flag) & 1u, 1);
    out.Put(word & ((1u << header.lowBits) - 1), header.lowBits);
  };
  std::size_t p = 0;
  for (const auto& entry : entries) {
    const unsigned c = entry.count - 1u;
    switch (entry.kind) {
      case Kind::Incrementing: out.Put(0b000000 | c, 6); break;
      case Kind::Literal: out.Put(0b010000 | c, 6); break;
      case Kind::Repeat: out.Put(0b1000000 | c, 7), putInline(words[p]); break;
      case Kind::Rising: out.Put(0b1010000 | c, 7), putInline(words[p]); break;
      case Kind::Falling: out.Put(0b1100000 | c, 7), putInline(words[p]); break;
      case Kind::List:
        out.Put(0b1110000 | c, 7);
        for (std::size_t k = 0; k < entry.count; ++k) putInline(words[p + k]);
        break;
    }
    p += entry.count;
  }
  out.Put(0b1111111, 7);
  if (block.size() % 2 != 0) block.push_back(0);
  return block;
}

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressEnigma(std::span<const std::uint8_t> data) {
  if (data.empty() || data.size() % 2 != 0 || data.size() > kEnigmaCapacity) {
    return Fail("the data has " + std::to_string(data.size()) +
                " bytes; Enigma takes a list of 16-bit words: an even number of bytes, 2 to 65,536");
  }
  std::vector<std::uint16_t> words;
  unsigned mask = 0, largestIndex = 0;
  std::map<std::uint16_t, std::size_t> counts;
  for (std::size_t at = 0; at < data.size(); at += 2) {
    const auto word = static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
    words.push_back(word);
    mask |= word >> 11;
    largestIndex = std::max(largestIndex, word & 0x7FFu);
    ++counts[word];
  }
  const unsigned lowBits = std::max(1u, static_cast<unsigned>(std::bit_width(largestIndex)));
  const auto mostFrequent =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; })->first;
  std::vector<std::uint16_t> incrementing{words[0], 0};
  for (std::size_t k = 0; k + 1 < words.size(); ++k) {
    if (words[k + 1] == static_cast<std::uint16_t>(words[k] + 1)) {
      incrementing.push_back(words[k]);
      break;
    }
  }
  // The headers tried: of each incrementing word with each literal word, and the games'.
  std::vector<Header> headers;
  for (const auto start : incrementing)
    for (const std::uint16_t literal : {mostFrequent, std::uint16_t{0}}) headers.push_back({lowBits, mask, start, literal});
  const EnigmaHeader games = AccurateEnigmaHeader(words);
  headers.push_back({games.lowBits, games.mask, games.incrementing, games.literal});

  std::vector<std::uint8_t> best;
  std::uint64_t bestSize = UINT64_MAX;
  const auto weigh = [&](std::vector<std::uint8_t> block) {
    const std::uint64_t size = DecodeEnigma(block, 0)->compressedSize;  // without the even padding
    if (size < bestSize) bestSize = size, best = std::move(block);
  };
  for (const auto& header : headers) weigh(Write(words, header, Parse(words, header)));
  // The parse keeps a few incrementing words at each position: where that misses the
  // games' own entries, theirs are taken.
  weigh(*CompressEnigmaAccurate(data));
  return best;
}

}  // namespace quarvel
