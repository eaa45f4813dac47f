#include "decoders/nemesis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "decoders/byte_source.h"
#include "decoders/nemesis_code_table.h"

namespace quarvel {
namespace {

// Pixel value p repeated in the k low nibbles: p * kNibbleRuns[k].
constexpr std::uint32_t kNibbleRuns[9] = {0,         0x1,        0x11,        0x111,       0x1111,
                                          0x11111,   0x111111,   0x1111111,   0x11111111};

// The run of a code that takes no bits: longer than any block.
constexpr unsigned kEndlessRun = kNemesisMaxTiles * 64 + 1;

// Decodes the bit stream: a 16-bit window whose next bit is bit (count - 1), topped up
// by a byte whenever 8 or fewer bits are left after a code.
template <class Source>
class NemesisTileDecoder {
 public:
  // A strict decoder fails at a pattern that no code of the table defines, and marks in
  // `used` the table entries that it looks up.
  NemesisTileDecoder(Source& in, const NemesisCodeTable& table, std::array<bool, 256>* used = nullptr)
      : in_(in), table_(table), availableBits_(8 * (in.End() - in.Position())), used_(used) {}

  // The stream bytes that `tiles` take, or nothing when the stream fails; no pixel is kept.
  std::optional<std::uint64_t> Measure(unsigned tiles) {
    window_ = TakeByte() << 8;
    window_ |= TakeByte();
    count_ = 16;
    for (std::size_t pixels = std::size_t{tiles} * 64, done = 0; done < pixels; done += runLeft_) {
      if (!NextCode()) return std::nullopt;
    }
    return static_cast<std::uint64_t>(ConsumedBits() + 7) / 8;
  }

  DecodeResult<DecodedBlock> Run(unsigned tiles, bool xorMode) {
    const std::uint64_t streamStart = in_.Position();
    window_ = TakeByte() << 8;
    window_ |= TakeByte();
    count_ = 16;

    std::vector<std::uint8_t> out(std::size_t{tiles} * kNemesisTileBytes);
    std::uint32_t previous = 0;
    for (std::uint8_t* row = out.data(); row != out.data() + out.size(); row += 4) {
      std::uint64_t value = 0;
      for (unsigned need = 8; need > 0;) {
        if (runLeft_ == 0 && !NextCode()) return Fail(EndOfData(in_, "needs more bits than the file holds"));
        const unsigned take = std::min(need, runLeft_);
        value = value << (4 * take) | pixel_ * kNibbleRuns[take];
        need -= take;
        runLeft_ -= take;
      }
      auto word = static_cast<std::uint32_t>(value);
      if (xorMode) word = previous ^= word;
      row[0] = static_cast<std::uint8_t>(word >> 24);
      row[1] = static_cast<std::uint8_t>(word >> 16);
      row[2] = static_cast<std::uint8_t>(word >> 8);
      row[3] = static_cast<std::uint8_t>(word);
    }
    if (in_.ReadFailed()) return Fail(EndOfData(in_, "could not be read"));
    const std::uint64_t streamBytes = (ConsumedBits() + 7) / 8;
    return DecodedBlock{std::move(out), streamStart + streamBytes - in_.BlockStart(), {}};
  }

 private:
  // The next byte of the stream; past the end of the data, zeros for the look-ahead.
  std::uint32_t TakeByte() {
    std::uint8_t byte = 0;
    if (!in_.Next(byte)) byte = 0;
    ++taken_;
    return byte;
  }

  void TopUp() {
    count_ += 8;
    window_ = ((window_ << 8) | TakeByte()) & 0xFFFF;
  }

  std::int64_t ConsumedBits() const { return 8 * taken_ - count_; }

  // A shift by a count of 0 or less leaves the window as it is: only malformed
  // streams, with codes longer than 8 bits, drain the window that far.
  std::uint32_t WindowShiftedBy(std::int64_t shift) const {
    return shift > 0 ? window_ >> shift : window_;
  }

  // Takes the next code; false when it needs bits past the end of the data.
  bool NextCode() {
    const std::uint32_t next8 = WindowShiftedBy(count_ - 8) & 0xFF;
    if (next8 >= 0xFC) {  // inline: 111111, run field, pixel
      if (count_ < 15) TopUp();
      count_ -= 13;
      const std::uint32_t code = WindowShiftedBy(count_);
      runLeft_ = ((code & 0x70) >> 4) + 1;
      pixel_ = code & 0x0F;
    } else {
      const NemesisCode& code = table_[next8];
      if (used_ != nullptr) {
        if (code.length == 0) return false;
        (*used_)[next8] = true;
      }
      // A pattern with no code of its own, looked up through bits past the end of the
      // data, was chosen by those bits: the block is cut short, not undefined there.
      if (code.length == 0 && availableBits_ - ConsumedBits() < 8) return false;
      count_ -= code.length;
      // Otherwise it takes no bits, so while the window holds more than 8 bits (no top-up
      // follows) the same pattern comes up again and again: the rest of the block is
      // that pixel, without taking it one run at a time. With 8 or fewer (only after a
      // malformed code longer than 8 bits), the top-up moves the window on: one pixel.
      runLeft_ = code.length == 0 && count_ > 8 ? kEndlessRun : code.runField + 1u;
      pixel_ = code.pixel;
    }
    if (count_ <= 8) TopUp();
    return ConsumedBits() <= availableBits_;
  }

  Source& in_;
  const NemesisCodeTable& table_;
  const std::int64_t availableBits_;
  std::int64_t taken_ = 0;
  std::int64_t count_ = 0;
  std::uint32_t window_ = 0;
  unsigned runLeft_ = 0;
  std::uint32_t pixel_ = 0;
  std::array<bool, 256>* used_;
};

// The same decoding, for a block whose bytes are all in memory, as fast as it goes: the
// code table read into entries that give a code's length, run and pixel at once, a
// 64-bit look-ahead read eight bytes at a time and used for as many codes as it holds,
// runs gathered into rows of 8 pixels, the XOR pass after them. It takes codes of 1 to 8
// bits with runs of 1 to 8 pixels, inline codes, and a stream that ends where the data
// does: anything else (and every failure) it leaves to NemesisBuildTable and
// NemesisTileDecoder, from the same start, whose answers it gives on the rest to the bit
// (their window, topped up a byte at a time, reads such codes as the plain bit stream
// read here).
class FastNemesis {
 public:
  // The decoded tiles, or nothing when the general decoder must decode them. `in` stands
  // after the header; it is moved on only when the tiles are given.
  static std::optional<DecodedBlock> Run(ByteSource& in, unsigned tiles, bool xorMode) {
    const std::span<const std::uint8_t> bytes = in.Buffered();
    if (in.Position() + bytes.size() != in.End()) return std::nullopt;  // not all in memory
    FastNemesis decoder;
    const auto streamStart = decoder.ReadTable(bytes);
    if (!streamStart) return std::nullopt;
    // Gathering the codes costs about as much as decoding a hundred of them.
    // A table whose records write over one another has entries of one code's range that
    // tell another code: then a code after another is not known from its first bits.
    const Step* steps = tiles >= kGatheredFrom && !decoder.overlapping_ ? decoder.GatherCodes() : decoder.singles_.data();
    const std::span<const std::uint8_t> stream = bytes.subspan(*streamStart);
    std::vector<std::uint8_t> out(std::size_t{tiles} * kNemesisTileBytes);
    const std::uint64_t bits = decoder.Decode(steps, stream, out, xorMode);
    if (bits > 8 * stream.size()) return std::nullopt;  // an undefined code, or past the end of the data
    const std::uint64_t start = in.Position() + *streamStart;
    in.Skip(*streamStart + std::min<std::uint64_t>((bits + 16) / 8, stream.size()));  // as far as the window reads
    return DecodedBlock{std::move(out), start + (bits + 7) / 8 - in.BlockStart(), {}};
  }

 private:
  static constexpr std::uint64_t kUndefined = ~std::uint64_t{0};
  static constexpr unsigned kGatheredFrom = 16;  // tiles

  // What the eight stream bits of a table entry give: their code, and with GatherCodes
  // the code after it when the bits hold it whole and the runs make 8 pixels at most.
  struct Step {
    std::uint32_t pattern;  // the pixels, a nibble each, the last in the lowest
    std::uint8_t run;       // bits of the pixels: 4 a pixel
    std::uint8_t length;    // bits; 0: an undefined code, or one for the general decoder
    std::uint16_t unused;  // no padding: a step is copied as one 8-byte word
  };

  // The steps of the inline codes, by their 7 bits after the 111111.
  static constexpr std::array<Step, 128> kInline = [] {
    std::array<Step, 128> steps{};
    for (unsigned code = 0; code < 128; ++code) {
      const unsigned pixels = (code >> 4) + 1;
      steps[code] = {(code & 0x0F) * kNibbleRuns[pixels], static_cast<std::uint8_t>(4 * pixels), 13, 0};
    }
    return steps;
  }();

  // The entry of the patterns that start an inline code: its length.
  static constexpr Step kInlineEntry{0, 0, 13, 0};

  // Reads the code table as NemesisBuildTable does, into singles_; the offset of the
  // stream after it, or nothing when it ends early or has a code byte too large
  // (NemesisBuildTable says how).
  std::optional<std::size_t> ReadTable(std::span<const std::uint8_t> bytes) {
    std::uint8_t pixel = 0;
    for (std::size_t at = 0;;) {
      if (at >= bytes.size()) return std::nullopt;
      std::uint8_t byte = bytes[at++];
      if (byte == 0xFF) {
        std::fill(singles_.begin() + 0xFC, singles_.end(), kInlineEntry);
        return at;
      }
      if (byte >= 0x80) {
        pixel = byte & 0x0F;
        if (at >= bytes.size()) return std::nullopt;
        byte = bytes[at++];
      }
      if (at >= bytes.size()) return std::nullopt;
      const unsigned code = bytes[at++], length = byte & 0x0Fu, runField = byte >> 4;
      const unsigned shift = length <= 8 ? 8 - length : length - 8;
      const unsigned first = code << shift, end = first + (1u << shift);
      if (2 * end > 32767) return std::nullopt;
      Step step{};
      if (length >= 1 && length <= 8 && runField <= 7)
        step = {pixel * kNibbleRuns[runField + 1], static_cast<std::uint8_t>(4 * (runField + 1)), static_cast<std::uint8_t>(length), 0};
      if (first >= 256) continue;
      const unsigned last = std::min(end, 256u);
      overlapping_ |= Mark(first, last);
      // Stored four entries at a time where there are that many (ranges of 1, 2, 4, ...
      // entries, aligned to their size).
      const auto word = std::bit_cast<std::uint64_t>(step);
      const std::uint64_t words[4] = {word, word, word, word};
      if (last - first == 1) {
        std::memcpy(&singles_[first], words, 8);
      } else if (last - first == 2) {
        std::memcpy(&singles_[first], words, 16);
      } else {
        for (unsigned e = first; e < last; e += 4) std::memcpy(&singles_[e], words, sizeof words);
      }
    }
  }

  // Marks the entries [first, last) as written, a range of a power of two entries aligned
  // to its size; whether any was written before.
  bool Mark(unsigned first, unsigned last) {
    if (last - first <= 64) [[likely]] {
      const std::uint64_t mask = ~std::uint64_t{0} >> (64 - (last - first)) << first % 64;
      const bool before = (written_[first / 64] & mask) != 0;
      written_[first / 64] |= mask;
      return before;
    }
    bool before = false;
    for (unsigned word = first / 64; word < last / 64; ++word) {
      before |= written_[word] != 0;
      written_[word] = ~std::uint64_t{0};
    }
    return before;
  }

  // Each entry's code and, when the bits after it decide the next code (it fits in them
  // and no inline code can start there) and the two runs make 8 pixels at most, that code
  // too. Taken code by code: the 2^(8 - L) entries of a code L bits long count up the bits
  // after it, and the next code's entry is those bits followed by L zeros; from the
  // (252 >> L)th on they could all be 1s, as an inline code's first six are.
  const Step* GatherCodes() {
    for (unsigned e = 0; e < 0xFC;) {
      const std::uint64_t code = WordAt(e);
      const unsigned length = code >> kLengthAt & 0xFF;
      if (length == 0) {  // undefined
        std::memcpy(&gathered_[e++], &code, sizeof code);
        continue;
      }
      const unsigned size = 1u << (8 - length), room = 8 - length, budget = 32 - (code >> kRunAt & 0xFF);
      const std::uint64_t pattern = (code & kPatternBits) >> kPatternAt;
      const unsigned decided = std::min(size, 252u >> length);
      for (unsigned k = 0; k < decided; ++k) {
        const std::uint64_t next = WordAt(k << length);
        const unsigned nextRun = next >> kRunAt & 0xFF, nextLength = next >> kLengthAt & 0xFF;
        const std::uint64_t joined = ((code & kRunAndLengthBits) + (next & kRunAndLengthBits)) |
                                     ((pattern << nextRun | (next & kPatternBits) >> kPatternAt) << kPatternAt & kPatternBits);
        const std::uint64_t word = nextLength - 1 < room && nextRun <= budget ? joined : code;
        std::memcpy(&gathered_[e + k], &word, sizeof word);
      }
      for (unsigned k = decided; k < size; ++k) std::memcpy(&gathered_[e + k], &code, sizeof code);
      e += size;
    }
    std::fill(gathered_.begin() + 0xFC, gathered_.end(), kInlineEntry);
    return gathered_.data();
  }

  // Where a step's fields lie in it taken as one word, for GatherCodes's arithmetic.
  static constexpr std::uint64_t kPatternBits = std::bit_cast<std::uint64_t>(Step{~0u, 0, 0, 0});
  static constexpr std::uint64_t kRunAndLengthBits = std::bit_cast<std::uint64_t>(Step{0, 0xFF, 0xFF, 0});
  static constexpr unsigned kPatternAt = std::countr_zero(kPatternBits);
  static constexpr unsigned kRunAt = std::countr_zero(std::bit_cast<std::uint64_t>(Step{0, 1, 0, 0}));
  static constexpr unsigned kLengthAt = std::countr_zero(std::bit_cast<std::uint64_t>(Step{0, 0, 1, 0}));

  std::uint64_t WordAt(unsigned entry) const {
    std::uint64_t word;
    std::memcpy(&word, &singles_[entry], sizeof word);
    return word;
  }

  // Decodes into `out` by `steps`, its last row code by code (the codes of a step may
  // reach past the block's end); the stream bits taken, or kUndefined after an undefined
  // code.
  std::uint64_t Decode(const Step* steps, std::span<const std::uint8_t> stream, std::span<std::uint8_t> out,
                       bool xorMode) const {
    const std::uint64_t bits = Decode(steps, stream, out);
    if (xorMode && bits != kUndefined) CombineRows(out);
    return bits;
  }

  // Each row combined by exclusive-or with the row stored before it, as XOR mode asks
  // (bytes are combined alike whatever their order).
  static void CombineRows(std::span<std::uint8_t> out) {
    std::uint32_t previous = 0;
    for (std::size_t at = 0; at < out.size(); at += 4) {
      std::uint32_t row;
      std::memcpy(&row, out.data() + at, 4);
      previous ^= row;
      std::memcpy(out.data() + at, &previous, 4);
    }
  }

  std::uint64_t Decode(const Step* steps, std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out) const {
    const Stream stream(bytes);
    State state;
    state.row = out.data();
    std::uint8_t* const lastRow = out.data() + out.size() - (out.empty() ? 0 : 4);
    // Four steps a top-up, while four more rows are to come (a step writes one at most);
    // then a top-up a step. A top-up fills the look-ahead to 56 bits or more, and a step
    // takes 13 at most. Its load does not wait for the steps before it: its place
    // follows from the count of bits in hand alone.
    std::uint64_t ahead = 0;
    unsigned inHand = 0;     // bits of `ahead` that are the stream's
    std::size_t loaded = 0;  // stream bytes in `ahead` or taken
    const auto topUp = [&] {
      ahead |= stream.Load(loaded) >> inHand;
      loaded += (63 - inHand) / 8;
      inHand |= 56;
    };
    const auto take = [&](const Step* from) {
      const unsigned length = Take(from, ahead, state);
      inHand -= length;
      return length != 0;
    };
    while (lastRow - state.row >= 16) {
      topUp();
      if (!take(steps) || !take(steps) || !take(steps) || !take(steps)) return kUndefined;
    }
    while (state.row != lastRow) {
      topUp();
      if (!take(steps)) return kUndefined;
    }
    while (state.row != out.data() + out.size()) {  // code by code: a step's codes may reach past the block's end
      topUp();
      if (!take(singles_.data())) return kUndefined;
    }
    return 8 * loaded - inHand;
  }

  struct State {
    std::uint64_t acc = 0;  // pixels decoded, not yet in a row: the last `pending` bits
    unsigned pending = 0;
    std::uint8_t* row = nullptr;
  };

  // Takes the step at the top of `ahead` into the pixels, and writes a row when 8 are in:
  // at most one, as a step is 8 pixels at most. The row is written whether or not,
  // without a branch to mispredict: a row not yet whole is written over when it is.
  // The bits taken; 0 for an undefined code.
  static unsigned Take(const Step* steps, std::uint64_t& ahead, State& state) {
    const auto next8 = static_cast<unsigned>(ahead >> 56);
    // Every entry gives its code's length, an inline code's (111111, run field, pixel)
    // too: where the next step starts waits on that one load alone. An inline code's
    // pixels come from a table of their own.
    const unsigned length = steps[next8].length;
    const Step* step = &steps[next8];
    if (next8 >= 0xFC) [[unlikely]] step = &kInline[ahead >> 51 & 0x7F];
    const unsigned run = step->run;
    const std::uint32_t pattern = step->pattern;
    if (length == 0) [[unlikely]] return 0;
    ahead <<= length;
    state.acc = state.acc << run | pattern;
    state.pending += run;  // under 64
    const unsigned whole = state.pending >> 5;
    state.pending &= 31;
    auto word = static_cast<std::uint32_t>(state.acc >> state.pending);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap32(word);
    std::memcpy(state.row, &word, 4);  // big-endian
    state.row += 4 * whole;
    return length;
  }

  // The stream, read eight bytes at a time: from the data while eight are left, then
  // from a copy of its last eight (or fewer) followed by zeros.
  class Stream {
   public:
    explicit Stream(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.data()), tailStart_(bytes.size() > 8 ? bytes.size() - 8 : 0) {
      std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(tailStart_), bytes.end(), tail_.begin());
    }

    // The eight bytes from `at` on, the first the highest; zeros past the end.
    std::uint64_t Load(std::size_t at) const {
      const std::uint8_t* from = at < tailStart_ ? bytes_ + at : tail_.data() + std::min<std::size_t>(at - tailStart_, 8);
      std::uint64_t word;
      std::memcpy(&word, from, 8);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
      return word;
    }

   private:
    const std::uint8_t* bytes_;
    std::size_t tailStart_;
    std::array<std::uint8_t, 16> tail_{};
  };

  std::array<Step, 256> singles_{};  // the last 4 kInlineEntry once the table is read
  std::array<std::uint64_t, 4> written_{};  // a bit an entry
  bool overlapping_ = false;
  std::array<Step, 256> gathered_;  // the last 4 as in singles_
};

// Instantiated for SpanSource too, which reads memory without a refill.
template <class Source>
DecodeResult<DecodedBlock> Decode(Source& in) {
  std::uint8_t high, low;
  if (!in.Next(high) || !in.Next(low)) return Fail(EndOfData(in, "ends inside its header"));
  const bool xorMode = (high & 0x80) != 0;
  const unsigned tiles = (high & 0x7Fu) << 8 | low;
  if (tiles > kNemesisMaxTiles) {
    return Fail(DecodeError{DecodeErrorKind::TooManyTiles, in.BlockStart(),
                            "the block at " + HexOffset(in.BlockStart()) + " claims " + std::to_string(tiles) +
                                " tiles; at most " + std::to_string(kNemesisMaxTiles) + " can be decoded"});
  }
  if (auto fast = FastNemesis::Run(in, tiles, xorMode)) return std::move(*fast);
  const auto table = NemesisBuildTable(in);
  if (!table) return Fail(table.error());
  return NemesisTileDecoder<Source>(in, *table).Run(tiles, xorMode);
}

}  // namespace

DecodeResult<DecodedBlock> DecodeNemesis(ByteSource& in) { return Decode(in); }

DecodeResult<NemesisCodeTable> NemesisBuildTable(std::span<const std::uint8_t> description) {
  auto in = SpanSource::Open(description, 0);
  if (!in) return Fail(TruncatedError(0, 0, false, "ends inside its code table"));
  return NemesisBuildTable(*in);
}

DecodeResult<DecodedBlock> DecodeNemesis(std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return Decode(*in);
}

std::optional<NemesisProbe> ProbeNemesis(std::span<const std::uint8_t> rom, std::size_t offset) {
  if (!NemesisMayStartAt(rom, offset)) return std::nullopt;
  const unsigned tiles = (rom[offset] & 0x7Fu) << 8 | rom[offset + 1];
  auto in = *SpanSource::Open(rom, static_cast<std::int64_t>(offset + 2));
  const auto shape = ReadWellFormedNemesisTable(in);
  if (!shape) return std::nullopt;
  const std::uint64_t streamStart = in.Position();
  std::array<bool, 256> used{};
  const auto streamBytes = NemesisTileDecoder<SpanSource>(in, shape->table, &used).Measure(tiles);
  if (!streamBytes) return std::nullopt;
  unsigned codesUsed = 0;
  for (const auto& [first, end] : shape->ranges)
    codesUsed += std::any_of(used.begin() + first, used.begin() + end, [](bool u) { return u; }) ? 1 : 0;
  return NemesisProbe{tiles,         streamStart + *streamBytes - offset, shape->codes, codesUsed,
                      shape->coveredEntries, (rom[offset] & 0x80) != 0};
}

}  // namespace quarvel
