#include "decoders/kosinski.h"

#include <cstring>
#include <memory>

#include "decoders/byte_source.h"

namespace quarvel {
namespace {

// How a walk through a stream ended.
enum class Stop { EndMarker, CopyBeforeStart, Truncated, TooLarge };

struct Walk {
  Stop stop;
  std::size_t length;  // bytes decoded
  std::uint64_t last;  // the last byte read: of the end marker, of the stopping copy, or of the
                       // command that would overflow
};

// Walks the commands of a stream, storing the output when `kStore` (into a buffer of
// kKosinskiCapacity bytes), or only counting it.
template <class Source, bool kStore>
class KosinskiWalker {
 public:
  KosinskiWalker(Source& in, std::uint8_t* out) : in_(in), out_(out) {}

  Walk Run() {
    if (!LoadDescriptor()) return Ended(Stop::Truncated);
    for (;;) {
      unsigned bit;
      if (!TakeBit(bit)) return Ended(Stop::Truncated);
      if (bit == 1) {
        std::uint8_t literal;
        if (!in_.Next(literal)) return Ended(Stop::Truncated);
        if (length_ == kKosinskiCapacity) return Ended(Stop::TooLarge);
        if constexpr (kStore) out_[length_] = literal;
        ++length_;
        continue;
      }

      std::size_t distance;
      std::size_t count;
      if (!TakeBit(bit)) return Ended(Stop::Truncated);
      if (bit == 0) {  // inline copy: two count bits, then the displacement byte
        unsigned high, low;
        std::uint8_t displacement;
        if (!TakeBit(high) || !TakeBit(low) || !in_.Next(displacement)) return Ended(Stop::Truncated);
        count = 2 * high + low + 2;
        distance = 256 - displacement;
      } else {  // full copy: L, H, and E when the count bits of H are 0
        std::uint8_t low, high;
        if (!in_.Next(low) || !in_.Next(high)) return Ended(Stop::Truncated);
        distance = 8192 - 256 * static_cast<std::size_t>(high >> 3) - low;
        if ((high & 7u) != 0) {
          count = (high & 7u) + 2;
        } else {
          std::uint8_t extended;
          if (!in_.Next(extended)) return Ended(Stop::Truncated);
          if (extended == 0) return Ended(Stop::EndMarker);
          if (extended == 1) continue;  // copies nothing
          count = std::size_t{extended} + 1;
        }
      }
      if (distance > length_) return Ended(Stop::CopyBeforeStart);
      if (count > kKosinskiCapacity - length_) return Ended(Stop::TooLarge);
      if constexpr (kStore) Copy(distance, count);
      length_ += count;
    }
  }

 private:
  Walk Ended(Stop stop) const { return {stop, length_, stop == Stop::Truncated ? in_.End() : in_.Position() - 1}; }

  bool LoadDescriptor() {
    std::uint8_t low, high;
    if (!in_.Next(low) || !in_.Next(high)) return false;
    descriptor_ = low | unsigned{high} << 8;
    bitsLeft_ = 16;
    return true;
  }

  // The next descriptor bit; the next descriptor is loaded as soon as the 16th is taken.
  bool TakeBit(unsigned& bit) {
    bit = descriptor_ & 1u;
    descriptor_ >>= 1;
    return --bitsLeft_ != 0 || LoadDescriptor();
  }

  // Copies byte by byte forward, so that a copy longer than its distance repeats
  // the bytes it has just written.
  void Copy(std::size_t distance, std::size_t count) {
    std::uint8_t* to = out_ + length_;
    const std::uint8_t* from = to - distance;
    if (distance >= count) {
      std::memcpy(to, from, count);
    } else {
      for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
    }
  }

  Source& in_;
  std::uint8_t* out_;
  std::size_t length_ = 0;
  unsigned descriptor_ = 0;
  unsigned bitsLeft_ = 0;
};

// Where a thread decodes a block before its bytes are known to be kept: room for the
// largest block, made once, not cleared (nothing is read that a block did not write).
std::uint8_t* Scratch() {
  thread_local const std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[kKosinskiCapacity]);
  return scratch.get();
}

// Instantiated for SpanSource too, which reads memory without a refill.
template <class Source>
DecodeResult<DecodedBlock> Decode(Source& in) {
  std::uint8_t* const scratch = Scratch();
  const Walk walk = KosinskiWalker<Source, true>(in, scratch).Run();
  const std::uint64_t block = in.BlockStart();
  switch (walk.stop) {
    case Stop::Truncated: return Fail(EndOfData(in, "ends without its end marker"));
    case Stop::TooLarge: return Fail(OutputTooLargeError(walk.last, kKosinskiCapacity));
    case Stop::EndMarker:
    case Stop::CopyBeforeStart: break;
  }
  if (walk.stop == Stop::CopyBeforeStart) {
    return Fail(DecodeError{DecodeErrorKind::CopyBeforeStart, walk.last,
                            "the block at " + HexOffset(block) + " copies from before its start at byte " +
                                HexOffset(walk.last) + ": the offset must be wrong"});
  }
  if (walk.length == 0) {
    return Fail(DecodeError{DecodeErrorKind::EmptyResult, walk.last,
                            "the block at " + HexOffset(block) + " decodes to nothing: its first command is the end marker"});
  }
  return DecodedBlock{std::vector<std::uint8_t>(scratch, scratch + walk.length), walk.last + 1 - block, {}};
}

}  // namespace

DecodeResult<DecodedBlock> DecodeKosinski(ByteSource& in) { return Decode(in); }

DecodeResult<DecodedBlock> DecodeKosinski(std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return Decode(*in);
}

std::optional<BlockProbe> ProbeKosinski(std::span<const std::uint8_t> rom, std::size_t offset) {
  if (offset >= rom.size()) return std::nullopt;
  auto in = *SpanSource::Open(rom, static_cast<std::int64_t>(offset));
  const Walk walk = KosinskiWalker<SpanSource, false>(in, nullptr).Run();
  if (walk.stop != Stop::EndMarker || walk.length == 0) return std::nullopt;
  return BlockProbe{walk.length, walk.last + 1 - offset};
}

}  // namespace quarvel
