#include "decoders/kosinski.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

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
  thread_local const std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[kKosinskiCapacity + kKosinskiSlack]);
  return scratch.get();
}

// The eight bytes at `at`, the first the lowest; and stored so.
inline std::uint64_t LoadLittle(const std::uint8_t* at) {
  std::uint64_t word;
  std::memcpy(&word, at, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}
inline void StoreLittle(std::uint8_t* at, std::uint64_t word) {
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  std::memcpy(at, &word, 8);
}

// Copies `count` bytes from `distance` back, forward, so that a copy longer than its
// distance repeats what it has just written. From 8 back on, 16 bytes at a time, each
// read (before it is written when the copy reaches past its start) from as far back as
// the distance, or 16 when it is longer: the period's repeats are copied from those just
// written, read at the address of one whole store. Below 8, a word of whole periods
// (the first `distance` bytes times a word of ones spaced a period apart) is stored again
// and again. May write up to 15 bytes past the copy's end.
inline void CopyBack(std::uint8_t* to, std::size_t distance, std::size_t count) {
  const std::uint8_t* from = to - distance;
  if (distance >= 8) {
    const std::size_t step = std::min<std::size_t>(distance, 16);
    for (std::size_t i = 0;; i += step) {
      std::uint8_t chunk[16];  // a load and a store: the two may overlap past the copy's end
      std::memcpy(chunk, from + i, 16);
      std::memcpy(to + i, chunk, 16);
      if (i + step >= count) break;
    }
    return;
  }
  // By distance: the mask of its first bytes, the ones, the bytes of whole periods in a word.
  static constexpr std::uint64_t kMasks[8] = {0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF,
                                              0xFFFFFFFFFFFFFF};
  static constexpr std::uint64_t kOnes[8] = {0,
                                             0x0101010101010101,
                                             0x0001000100010001,
                                             0x0001000001000001,
                                             0x0000000100000001,
                                             0x0000010000000001,
                                             0x0001000000000001,
                                             0x0100000000000001};
  static constexpr std::uint8_t kSteps[8] = {0, 8, 8, 6, 8, 5, 6, 7};
  const std::uint64_t word = (LoadLittle(from) & kMasks[distance]) * kOnes[distance];
  const std::size_t step = kSteps[distance];
  StoreLittle(to, word);
  StoreLittle(to + step, word);
  for (std::size_t i = 2 * step; i < count; i += step) StoreLittle(to + i, word);
}

// The walk of a stream whose bytes are all in memory, as KosinskiWalker's, in fewer
// steps: a command whose bits and bytes are all there read without a check, runs of
// literals moved at once, copies several bytes at a time. Answers as the walker does,
// byte for byte (the fuzz targets compare the two paths); also how many bytes it took.
std::pair<Walk, std::size_t> FastWalk(std::span<const std::uint8_t> input, std::uint8_t* const out) {
  const std::uint8_t* const start = input.data();
  const std::uint8_t* const end = start + input.size();
  const std::uint8_t* in = start;
  std::size_t length = 0;
  unsigned descriptor = 0, bits = 0;
  const auto ended = [&](Stop stop) -> std::pair<Walk, std::size_t> {
    const auto last = stop == Stop::Truncated ? input.size() : static_cast<std::size_t>(in - start) - 1;
    return {{stop, length, last}, static_cast<std::size_t>(in - start)};
  };
  const auto load = [&] {
    if (end - in < 2) return false;
    descriptor = in[0] | unsigned{in[1]} << 8;
    in += 2;
    bits = 16;
    return true;
  };
  const auto bit = [&](unsigned& taken) {  // the next descriptor is read as the 16th bit is taken
    taken = descriptor & 1u;
    descriptor >>= 1;
    return --bits != 0 || load();
  };
  const auto byte = [&](std::uint8_t& taken) {
    if (in == end) return false;
    taken = *in++;
    return true;
  };
  if (!load()) return ended(Stop::Truncated);
  for (;;) {
    // Literals whose bits are not the descriptor's last, at once.
    if ((descriptor & 1u) != 0) {
      const auto run = std::min(static_cast<unsigned>(std::countr_one(descriptor)), bits - 1);
      if (end - in >= 16 && kKosinskiCapacity - length >= run) {
        std::memcpy(out + length, in, 16);  // the run's bytes, and some that later commands write again
        in += run, length += run, descriptor >>= run, bits -= run;
      }
    }
    std::size_t distance, count;
    if (end - in >= 5) {  // a next descriptor and a command's bytes are there: no check
      // The command's bits, the next descriptor's after the last of this one's: it is
      // read, before the command's bytes, when the command takes that last bit.
      const unsigned bitsAhead = descriptor | (in[0] | unsigned{in[1]} << 8) << bits;
      const unsigned taken = (bitsAhead & 1u) != 0 ? 1 : (bitsAhead & 2u) != 0 ? 2 : 4;
      if (taken >= bits) {
        in += 2;
        descriptor = bitsAhead >> taken, bits += 16 - taken;
      } else {
        descriptor >>= taken, bits -= taken;
      }
      if (taken == 1) {
        if (length == kKosinskiCapacity) return ended(Stop::TooLarge);
        out[length++] = *in++;
        continue;
      }
      if (taken == 4) {  // inline copy: 0 0 h l, then the displacement byte
        count = (bitsAhead >> 2 & 1u) * 2 + (bitsAhead >> 3 & 1u) + 2;
        distance = 256 - *in++;
      } else {
        const std::uint8_t low = in[0], high = in[1];
        in += 2;
        distance = 8192 - 256 * static_cast<std::size_t>(high >> 3) - low;
        if ((high & 7u) != 0) {
          count = (high & 7u) + 2;
        } else {
          const std::uint8_t extended = *in++;
          if (extended == 0) return ended(Stop::EndMarker);
          if (extended == 1) continue;  // copies nothing
          count = std::size_t{extended} + 1;
        }
      }
    } else {  // near the input's end: bit by bit, byte by byte
      unsigned taken;
      if (!bit(taken)) return ended(Stop::Truncated);
      if (taken == 1) {
        std::uint8_t literal;
        if (!byte(literal)) return ended(Stop::Truncated);
        if (length == kKosinskiCapacity) return ended(Stop::TooLarge);
        out[length++] = literal;
        continue;
      }
      if (!bit(taken)) return ended(Stop::Truncated);
      if (taken == 0) {  // inline copy: two count bits, then the displacement byte
        unsigned high, low;
        std::uint8_t displacement;
        if (!bit(high) || !bit(low) || !byte(displacement)) return ended(Stop::Truncated);
        count = 2 * high + low + 2;
        distance = 256 - displacement;
      } else {  // full copy: L, H, and E when the count bits of H are 0
        std::uint8_t low, high;
        if (!byte(low) || !byte(high)) return ended(Stop::Truncated);
        distance = 8192 - 256 * static_cast<std::size_t>(high >> 3) - low;
        if ((high & 7u) != 0) {
          count = (high & 7u) + 2;
        } else {
          std::uint8_t extended;
          if (!byte(extended)) return ended(Stop::Truncated);
          if (extended == 0) return ended(Stop::EndMarker);
          if (extended == 1) continue;  // copies nothing
          count = std::size_t{extended} + 1;
        }
      }
    }
    if (distance > length) return ended(Stop::CopyBeforeStart);
    if (count > kKosinskiCapacity - length) return ended(Stop::TooLarge);
    CopyBack(out + length, distance, count);
    length += count;
  }
}

// Decodes into `out` (room for kKosinskiCapacity + kKosinskiSlack bytes): the length.
// Instantiated for SpanSource too, which reads memory without a refill.
template <class Source>
DecodeResult<std::size_t> DecodeInto(Source& in, std::uint8_t* out) {
  Walk walk;
  if (const auto buffered = in.Buffered(); buffered.size() == in.End() - in.Position()) {  // all in memory
    const std::uint64_t first = in.Position();
    const auto [fast, taken] = FastWalk(buffered, out);
    walk = fast;
    walk.last += first;
    in.Skip(taken);
  } else {
    walk = KosinskiWalker<Source, true>(in, out).Run();
  }
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
  return walk.length;
}

template <class Source>
DecodeResult<DecodedBlock> Decode(Source& in) {
  std::uint8_t* const scratch = Scratch();
  const auto length = DecodeInto(in, scratch);
  if (!length) return Fail(length.error());
  return DecodedBlock{std::vector<std::uint8_t>(scratch, scratch + *length), in.Position() - in.BlockStart(), {}};
}

}  // namespace

DecodeResult<DecodedBlock> DecodeKosinski(ByteSource& in) { return Decode(in); }

DecodeResult<std::size_t> DecodeKosinskiInto(ByteSource& in, std::uint8_t* out) { return DecodeInto(in, out); }

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
