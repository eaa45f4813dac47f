#include "encoders/enigma_compressor.h"

#include <algorithm>
#include <array>
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
  bool operator==(const Header&) const = default;
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

// The states kept at a position: the eight cheapest (cheapest first, the earlier
// offered first among equals), and the one whose incrementing word goes on there.
struct Kept {
  std::array<State, kKeptStates + 1> states;
  std::size_t size = 0;
};

// The runs that start at a position, each at most 16 words and to the end: of the
// literal word (0 where another word stands), of equal, rising and falling words.
struct Runs {
  std::uint8_t literal, repeat, rising, falling;
};

std::vector<Runs> RunsOf(const std::vector<std::uint16_t>& words, std::uint16_t literal) {
  const std::size_t n = words.size();
  std::vector<Runs> runs(n);
  for (std::size_t p = n; p-- > 0;) {
    const auto room = static_cast<std::uint8_t>(std::min(kMostCount, n - p));
    auto goesOn = [&](bool same, std::uint8_t next) { return same ? std::min<std::uint8_t>(room, next + 1) : 1; };
    const bool last = p + 1 == n;
    const std::uint16_t word = words[p], next = last ? word : words[p + 1];
    Runs& run = runs[p];
    run.repeat = goesOn(!last && next == word, last ? 0 : runs[p + 1].repeat);
    run.rising = goesOn(!last && next == static_cast<std::uint16_t>(word + 1), last ? 0 : runs[p + 1].rising);
    run.falling = goesOn(!last && next == static_cast<std::uint16_t>(word - 1), last ? 0 : runs[p + 1].falling);
    run.literal = word != literal ? 0 : goesOn(!last && next == literal, last ? 0 : runs[p + 1].literal);
  }
  return runs;
}

// The cheapest parse of `words` under `header`, as its entries from the first. The
// states of a position are those offered by the entries that end there, from the
// positions up to 16 words back in order, each position's states in order, and for
// each state the incrementing word's run first; a state of the same incrementing word
// takes the place of one held only when cheaper.
std::vector<State> Parse(const std::vector<std::uint16_t>& words, const Header& header) {
  const std::size_t n = words.size();
  const unsigned inlineBits = header.InlineBits();
  const std::vector<Runs> runs = RunsOf(words, header.literal);
  std::vector<Kept> at(n + 1);
  at[0].states[0] = {0, header.incrementing, Kind::List, 0, 0};
  at[0].size = 1;

  std::array<State, kMostCount * (kKeptStates + 1) * 2> offered;
  std::array<std::uint64_t, offered.size()> order;
  // Where each incrementing word's state stands among those offered at `to`: `to`, then the place.
  std::vector<std::uint32_t> placeOf(std::size_t{1} << 16, 0);
  for (std::size_t to = 1; to <= n; ++to) {
    std::size_t count = 0;
    auto offer = [&](const State& state) {
      std::uint32_t& place = placeOf[state.incrementing];
      if (place >> 16 != to) {
        place = static_cast<std::uint32_t>(to << 16 | count);
        offered[count++] = state;
      } else if (State& held = offered[place & 0xFFFF]; state.bits < held.bits) {
        held = state;
      }
    };
    for (std::size_t p = to > kMostCount ? to - kMostCount : 0; p < to; ++p) {
      const auto c = static_cast<std::uint8_t>(to - p);
      const Runs& run = runs[p];
      // Of the entries of c words that keep the incrementing word, the cheapest (the
      // first of equals): the literal word's run, a run of one word, else a list.
      Kind kind = Kind::List;
      std::uint32_t cost = 7 + c * inlineBits;
      if (c <= run.literal) kind = Kind::Literal, cost = 6;
      else if (c <= run.repeat) kind = Kind::Repeat, cost = 7 + inlineBits;
      else if (c <= run.rising) kind = Kind::Rising, cost = 7 + inlineBits;
      else if (c <= run.falling) kind = Kind::Falling, cost = 7 + inlineBits;
      const bool keeps = kind != Kind::List || c < kMostCount;
      const Kept& from = at[p];
      for (std::size_t slot = 0; slot < from.size; ++slot) {
        const State& state = from.states[slot];
        const auto fromSlot = static_cast<std::uint16_t>(slot);
        if (state.incrementing == words[p] && c <= run.rising)
          offer({state.bits + 6, static_cast<std::uint16_t>(state.incrementing + c), Kind::Incrementing, c, fromSlot});
        if (keeps) offer({state.bits + cost, state.incrementing, kind, c, fromSlot});
      }
    }
    // Keeps the cheapest states, and the one whose incrementing word goes on at `to`.
    for (std::size_t k = 0; k < count; ++k) order[k] = std::uint64_t{offered[k].bits} << 16 | k;
    const std::size_t cheapest = std::min(count, kKeptStates);
    std::partial_sort(order.begin(), order.begin() + cheapest, order.begin() + count);
    Kept& kept = at[to];
    for (std::size_t k = 0; k < cheapest; ++k) kept.states[k] = offered[order[k] & 0xFFFF];
    kept.size = cheapest;
    const auto goesOn = [&](const State& state) { return to < n && state.incrementing == words[to]; };
    if (count > cheapest && std::none_of(kept.states.begin(), kept.states.begin() + cheapest, goesOn)) {
      const auto useful = std::find_if(offered.begin(), offered.begin() + count, goesOn);
      if (useful != offered.begin() + count) kept.states[kept.size++] = *useful;
    }
  }
  std::vector<State> entries;
  std::size_t slot = 0;  // the cheapest at the end
  for (std::size_t p = n; p > 0;) {
    const State& state = at[p].states[slot];
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
  // The headers tried: of each incrementing word with each literal word, and the games'
  // (each once: the same header makes the same block).
  std::vector<Header> headers;
  const auto tryHeader = [&](const Header& header) {
    if (std::find(headers.begin(), headers.end(), header) == headers.end()) headers.push_back(header);
  };
  for (const auto start : incrementing)
    for (const std::uint16_t literal : {mostFrequent, std::uint16_t{0}}) tryHeader({lowBits, mask, start, literal});
  const EnigmaHeader games = AccurateEnigmaHeader(words);
  tryHeader({games.lowBits, games.mask, games.incrementing, games.literal});

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
