#include "encoders/enigma_compressor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

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
// position `count` words back (its kind found only for the parse taken).
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
// For the loop over them: each one's bits and slot as a key (the bits above the lowest
// eight), its incrementing word, and the slot of the one whose word goes on there.
struct Kept {
  std::array<State, kKeptStates + 1> states;
  std::array<std::uint32_t, kKeptStates + 1> keys;
  std::array<std::uint32_t, kKeptStates + 1> words;
  std::uint32_t size;
  std::uint32_t goesOnSlot;
};

// The runs that start at a position, each at most 16 words and to the end: of the
// literal word (0 where another word stands), of equal, rising and falling words.
struct Runs {
  std::uint8_t literal, repeat, rising, falling;
};

// Of the entries of `count` words from `run` that keep the incrementing word, the
// cheapest (the first of equals) and its bits: the literal word's run, a run of one
// word, else a list.
std::pair<Kind, std::uint32_t> Keeping(const Runs& run, std::uint32_t count, unsigned inlineBits) {
  if (count <= run.literal) return {Kind::Literal, 6};
  if (count <= run.repeat) return {Kind::Repeat, 7 + inlineBits};
  if (count <= run.rising) return {Kind::Rising, 7 + inlineBits};
  if (count <= run.falling) return {Kind::Falling, 7 + inlineBits};
  return {Kind::List, 7 + count * inlineBits};
}

constexpr std::uint32_t kNotOffered = ~std::uint32_t{0};
// In place of the words of the slots a position does not fill, each slot its own: held as
// offered from the start, so the loop over a position's slots goes over all of them.
constexpr std::uint32_t kNoWord = std::uint32_t{1} << 16;
constexpr std::uint32_t kFar = 1u << 30;  // more bits than any words take

// The bytes of the stream whose entries take `bits`: the header, the end entry, and no padding.
std::uint64_t StreamBytes(std::uint64_t bits) { return 6 + (bits + 7 + 7) / 8; }

// The parses of one list of words under the headers tried, with the buffers they share.
class Parser {
 public:
  // The kept states are written at each position before they are read: none at the start.
  explicit Parser(const std::vector<std::uint16_t>& words) : words_(words), at_(new Kept[words.size() + 1]) {}

  // The cheapest parse of the words under `header`, as its entries from the first and
  // the bits they take; nothing once `loses` holds for a lower bound of those bits.
  // The states of a position are those offered by the entries that end there, from the
  // positions up to 16 words back in order, each position's states in order, and for
  // each state the incrementing word's run first; a state of the same incrementing word
  // takes the place of one held only when cheaper.
  template <class Loses>
  std::optional<std::pair<std::vector<State>, std::uint32_t>> Parse(const Header& header, Loses loses) {
    const std::size_t n = words_.size();
    const unsigned inlineBits = header.InlineBits();
    Prepare(header);
    at_[0].states[0] = {0, header.incrementing, Kind::List, 0, 0};
    at_[0].keys.fill(0);
    for (std::uint32_t slot = 0; slot <= kKeptStates; ++slot) at_[0].words[slot] = kNoWord + slot;
    at_[0].words[0] = header.incrementing;
    at_[0].size = 1;
    at_[0].goesOnSlot = header.incrementing == words_[0] ? 0 : kKeptStates + 1;
    bound_[0] = rest_[0];
    if (loses(rest_[0])) return std::nullopt;
    // The cheapest state offered for each incrementing word at a position, as a key:
    // its bits (fewer than 2^24: at most 23 a word), then how far back it comes from (16
    // less its count), then the slot it comes from; the smallest key is the cheapest
    // state, the first offered of equals. No word is offered between positions.
    thread_local std::vector<std::uint32_t> held = [] {
      std::vector<std::uint32_t> none(kNoWord + kKeptStates + 1, kNotOffered);
      std::fill(none.begin() + kNoWord, none.end(), 0);
      return none;
    }();
    std::array<std::uint32_t, kMostCount * (kKeptStates + 1) * 2> offered;  // each word once, in order
    std::array<std::uint64_t, kKeptStates> order;
    const auto state = [&](std::uint16_t word) {
      const std::uint32_t k = held[word];
      const auto count = static_cast<std::uint8_t>(kMostCount - (k >> 4 & 0xF));
      return State{k >> 8, word, Kind::List, count, static_cast<std::uint16_t>(k & 0xF)};
    };
    for (std::size_t to = 1; to <= n; ++to) {
      std::size_t count = 0;
      // No branch on whether the word is offered the first time: which is as good as random.
      auto offer = [&](std::uint32_t word, std::uint32_t k) {
        const std::uint32_t before = held[word];
        offered[count] = word;
        count += before == kNotOffered;
        held[word] = std::min(before, k);
      };
      for (std::size_t p = to > kMostCount ? to - kMostCount : 0; p < to; ++p) {
        const auto c = static_cast<std::uint8_t>(to - p);
        const Runs& run = runs_[p];
        const std::uint32_t same = std::max({run.repeat, run.rising, run.falling});
        const std::uint32_t cost = c <= run.literal ? 6 : c <= same ? 7 + inlineBits : 7 + c * inlineBits;
        const std::uint32_t keepKey = cost << 8 | (kMostCount - c) << 4, incrementingKey = 6u << 8 | (kMostCount - c) << 4;
        const Kept& from = at_[p];
        // The states before the one whose incrementing word goes on, its run, then the others.
        const std::uint32_t rises = c <= run.rising ? from.goesOnSlot : kKeptStates + 1;
        const bool keeps = c < kMostCount || c <= std::max<std::uint32_t>(run.literal, same);  // not a list of 16
        const std::uint32_t split = std::min<std::uint32_t>(rises, kKeptStates + 1);
        if (keeps)
          for (std::uint32_t slot = 0; slot < split; ++slot) offer(from.words[slot], from.keys[slot] + keepKey);
        if (rises < from.size) offer(static_cast<std::uint16_t>(from.words[rises] + c), from.keys[rises] + incrementingKey);
        if (keeps)
          for (std::uint32_t slot = split; slot <= kKeptStates; ++slot) offer(from.words[slot], from.keys[slot] + keepKey);
      }
      // Keeps the cheapest states (in order by insertion into the eight cheapest so far),
      // and the one whose incrementing word goes on at `to`.
      const std::size_t cheapest = std::min(count, kKeptStates);
      for (std::size_t k = 0, size = 0; k < count; ++k) {
        const std::uint64_t next = std::uint64_t{held[offered[k]] >> 8} << 16 | k;
        if (size == kKeptStates && next >= order[size - 1]) continue;
        std::size_t j = size < kKeptStates ? size++ : size - 1;
        for (; j > 0 && next < order[j - 1]; --j) order[j] = order[j - 1];
        order[j] = next;
      }
      Kept& kept = at_[to];
      for (std::size_t k = 0; k < cheapest; ++k) kept.states[k] = state(static_cast<std::uint16_t>(offered[order[k] & 0xFFFF]));
      kept.size = static_cast<std::uint32_t>(cheapest);
      const auto goesOn = [&](const State& s) { return to < n && s.incrementing == words_[to]; };
      if (count > cheapest && to < n && held[words_[to]] != kNotOffered &&
          std::none_of(kept.states.begin(), kept.states.begin() + cheapest, goesOn))
        kept.states[kept.size++] = state(words_[to]);
      kept.goesOnSlot = kKeptStates + 1;
      for (std::uint32_t slot = 0; slot <= kKeptStates; ++slot) {
        const bool fills = slot < kept.size;
        kept.keys[slot] = fills ? kept.states[slot].bits << 8 | slot : 0;
        kept.words[slot] = fills ? kept.states[slot].incrementing : kNoWord + slot;
        if (to < n && kept.words[slot] == words_[to]) kept.goesOnSlot = slot;
      }
      for (std::size_t k = 0; k < count; ++k) held[offered[k]] = kNotOffered;
      // Every parse passes through one of the last 16 positions: looked at every 16th.
      bound_[to] = kept.states[0].bits + rest_[to];
      if (to % kMostCount == 0 && loses(*std::min_element(bound_.begin() + static_cast<std::ptrdiff_t>(to > kMostCount ? to - kMostCount + 1 : 0),
                                  bound_.begin() + static_cast<std::ptrdiff_t>(to) + 1)))
        return std::nullopt;
    }
    if (loses(at_[n].states[0].bits)) return std::nullopt;
    std::vector<State> entries;
    std::uint32_t slot = 0;  // the cheapest at the end
    for (std::size_t p = n; p > 0;) {
      State state = at_[p].states[slot];
      const std::size_t start = p - state.count;
      state.kind = at_[start].states[state.from].incrementing == state.incrementing
                       ? Keeping(runs_[start], state.count, inlineBits).first
                       : Kind::Incrementing;
      entries.push_back(state);
      slot = state.from;
      p -= state.count;
    }
    std::reverse(entries.begin(), entries.end());
    return std::pair{std::move(entries), at_[n].states[0].bits};
  }

 private:
  // The runs at each position for the header's literal word, and the fewest bits the
  // words from each position on could take: as though the incrementing word were the
  // next word wherever it could be. The words that incrementing entries write are the
  // header's incrementing word and those after it in turn, so one can stand at a
  // position only if those before it stand in order among the words before.
  void Prepare(const Header& header) {
    const std::size_t n = words_.size();
    const unsigned inlineBits = header.InlineBits();
    runs_.resize(n);
    reached_.resize(n);
    rest_.assign(n + kMostCount, kFar);
    rest_[n] = 0;
    std::array<std::uint32_t, kMostCount> lists;  // the bits of a list of each length
    for (std::uint32_t c = 0; c < kMostCount; ++c) lists[c] = 7 + c * inlineBits;
    bound_.assign(n + 1, 0);
    std::size_t inOrder = 0;  // of the incrementing word and those after it, among the words so far
    for (std::size_t p = 0; p < n; ++p) {
      const auto after = static_cast<std::uint16_t>(words_[p] - header.incrementing);
      inOrder += after == inOrder;
      reached_[p] = after < inOrder;
    }
    for (std::size_t p = n; p-- > 0;) {
      const auto room = static_cast<std::uint8_t>(std::min(kMostCount, n - p));
      auto goesOn = [&](bool same, std::uint8_t next) { return same ? std::min<std::uint8_t>(room, next + 1) : 1; };
      const bool last = p + 1 == n;
      const std::uint16_t word = words_[p], next = last ? word : words_[p + 1];
      Runs& run = runs_[p];
      run.repeat = goesOn(!last && next == word, last ? 0 : runs_[p + 1].repeat);
      run.rising = goesOn(!last && next == static_cast<std::uint16_t>(word + 1), last ? 0 : runs_[p + 1].rising);
      run.falling = goesOn(!last && next == static_cast<std::uint16_t>(word - 1), last ? 0 : runs_[p + 1].falling);
      run.literal = word != header.literal ? 0 : goesOn(!last && next == header.literal, last ? 0 : runs_[p + 1].literal);
      const std::uint8_t incrementing = reached_[p] ? run.rising : 0;
      const std::uint8_t sameBits = std::max({run.repeat, run.rising, run.falling});
      // The fewest bits from a position on are never more than from the one before (the
      // first entry, a word shorter, takes no more), so an entry of a run is cheapest as
      // long as it can be; a list takes no fewer bits than one, a list of one word as many.
      const std::uint8_t free = std::max(run.literal, incrementing);
      std::uint32_t fewest = 7 + inlineBits + rest_[p + sameBits];
      if (free != 0) fewest = std::min(fewest, 6 + rest_[p + free]);
      for (std::size_t c = 2; c < kMostCount; ++c) fewest = std::min(fewest, lists[c] + rest_[p + c]);
      rest_[p] = fewest;
    }
  }

  const std::vector<std::uint16_t>& words_;
  std::unique_ptr<Kept[]> at_;
  std::vector<Runs> runs_;
  std::vector<std::uint32_t> rest_, bound_;
  std::vector<bool> reached_;
};

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
  for (std::size_t at = 0; at < data.size(); at += 2) words.push_back(static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]));
  // The games' header has the flag bits of every word and the most frequent word as the literal one.
  const EnigmaHeader games = AccurateEnigmaHeader(words);
  const unsigned lowBits = std::max(1u, games.lowBits);
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
    for (const std::uint16_t literal : {games.literal, std::uint16_t{0}}) tryHeader({lowBits, games.mask, start, literal});
  tryHeader({games.lowBits, games.mask, games.incrementing, games.literal});

  // The games' block first: a header's block is taken only when smaller, and one
  // header's over another's only when smaller or first of equals. A header's parse
  // stops as soon as it cannot be taken.
  std::vector<std::uint8_t> best = AccurateEnigmaStream(words, games);
  std::uint64_t bestSize = best.size();  // without the even padding
  std::size_t bestHeader = headers.size();
  // The likeliest to win first, so that the others stop early: by the words the
  // incrementing and literal words would stand for.
  const auto likelyBits = [&](const Header& header) {
    std::size_t standIn = 0;
    for (std::uint16_t next = header.incrementing; const auto word : words)
      standIn += word == next ? (++next, 1) : word == header.literal;
    return (words.size() - standIn) * (header.InlineBits() + 1);
  };
  std::vector<std::pair<std::size_t, std::size_t>> tries;  // the likely bits, the header
  for (std::size_t h = 0; h < headers.size(); ++h) tries.emplace_back(likelyBits(headers[h]), h);
  std::sort(tries.begin(), tries.end());
  Parser parser(words);
  for (const auto& tried : tries) {
    const std::size_t h = tried.second;
    const auto loses = [&](std::uint32_t bits) {
      return StreamBytes(bits) > bestSize || (StreamBytes(bits) == bestSize && bestHeader < h);
    };
    if (auto parse = parser.Parse(headers[h], loses)) {
      best = Write(words, headers[h], parse->first);
      bestSize = StreamBytes(parse->second), bestHeader = h;
    }
  }
  if (best.size() % 2 != 0) best.push_back(0);
  return best;
}

}  // namespace quarvel
