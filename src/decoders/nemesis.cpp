#include "decoders/nemesis.h"

#include <algorithm>
#include <array>
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
    return DecodedBlock{std::move(out), streamStart + streamBytes - in_.BlockStart(), false, {}};
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
  if (offset + 3 > rom.size()) return std::nullopt;
  const unsigned tiles = (rom[offset] & 0x7Fu) << 8 | rom[offset + 1];
  if (tiles == 0 || tiles > kNemesisMaxTiles) return std::nullopt;
  // The first record as ReadWellFormedNemesisTable takes it, before it clears a table:
  // a palette byte, a length byte of a code 1 to 8 bits long and a run of 1 to 8, a code
  // that fits its length.
  if (offset + 5 > rom.size() || rom[offset + 2] < 0x80 || rom[offset + 2] == 0xFF) return std::nullopt;
  const unsigned length = rom[offset + 3] & 0x0Fu;
  if (length < 1 || length > 8 || rom[offset + 3] >> 4 > 7 || rom[offset + 4] >> length != 0) return std::nullopt;
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
