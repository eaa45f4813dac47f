#include "decoders/kosinski.h"

#include <cstring>

#include "decoders/block_source.h"

namespace quarvel {
namespace {

template <class Source>
class KosinskiDecoder {
 public:
  explicit KosinskiDecoder(Source& in) : in_(in), out_(kKosinskiCapacity) {}

  DecodeResult<DecodedBlock> Run() {
    if (!LoadDescriptor()) return Fail(Truncated());
    bool stoppedAtCopyBeforeStart = false;
    for (;;) {
      unsigned bit;
      if (!TakeBit(bit)) return Fail(Truncated());
      if (bit == 1) {
        std::uint8_t literal;
        if (!in_.Next(literal)) return Fail(Truncated());
        if (length_ == kKosinskiCapacity) return Fail(OutputTooLargeError(in_.Position() - 1, kKosinskiCapacity));
        out_[length_++] = literal;
        continue;
      }

      std::size_t distance;
      std::size_t count;
      if (!TakeBit(bit)) return Fail(Truncated());
      if (bit == 0) {  // inline copy: two count bits, then the displacement byte
        unsigned high, low;
        std::uint8_t displacement;
        if (!TakeBit(high) || !TakeBit(low) || !in_.Next(displacement)) return Fail(Truncated());
        count = 2 * high + low + 2;
        distance = 256 - displacement;
      } else {  // full copy: L, H, and E when the count bits of H are 0
        std::uint8_t low, high;
        if (!in_.Next(low) || !in_.Next(high)) return Fail(Truncated());
        distance = 8192 - 256 * static_cast<std::size_t>(high >> 3) - low;
        if ((high & 7u) != 0) {
          count = (high & 7u) + 2;
        } else {
          std::uint8_t extended;
          if (!in_.Next(extended)) return Fail(Truncated());
          if (extended == 0) break;     // end marker
          if (extended == 1) continue;  // copies nothing
          count = std::size_t{extended} + 1;
        }
      }

      if (distance > length_) {
        stoppedAtCopyBeforeStart = true;
        break;
      }
      if (count > kKosinskiCapacity - length_)
        return Fail(OutputTooLargeError(in_.Position() - 1, kKosinskiCapacity));
      Copy(distance, count);
    }

    const std::uint64_t compressedSize = in_.Position() - in_.BlockStart();
    if (length_ == 0) return Fail(NothingDecoded(stoppedAtCopyBeforeStart));
    out_.resize(length_);
    return DecodedBlock{std::move(out_), compressedSize, stoppedAtCopyBeforeStart};
  }

 private:
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
    std::uint8_t* to = out_.data() + length_;
    const std::uint8_t* from = to - distance;
    if (distance >= count) {
      std::memcpy(to, from, count);
    } else {
      for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
    }
    length_ += count;
  }

  DecodeError Truncated() const { return EndOfData(in_, "ends without its end marker"); }

  DecodeError NothingDecoded(bool stoppedAtCopyBeforeStart) const {
    const std::uint64_t block = in_.BlockStart();
    const std::uint64_t last = in_.Position() - 1;  // the last byte of the stopping command
    if (stoppedAtCopyBeforeStart) {
      return {DecodeErrorKind::CopyBeforeStart, last,
              "the block at " + HexOffset(block) + " decodes to nothing: its first command copies from before its start"};
    }
    return {DecodeErrorKind::EmptyResult, last,
            "the block at " + HexOffset(block) + " decodes to nothing: its first command is the end marker"};
  }

  Source& in_;
  std::vector<std::uint8_t> out_;
  std::size_t length_ = 0;
  unsigned descriptor_ = 0;
  unsigned bitsLeft_ = 0;
};

template <class Source>
DecodeResult<DecodedBlock> Decode(DecodeResult<Source> source) {
  if (!source) return Fail(source.error());
  return KosinskiDecoder<Source>(*source).Run();
}

}  // namespace

DecodeResult<DecodedBlock> DecodeKosinski(std::span<const std::uint8_t> rom, std::int64_t offset) {
  return Decode(SpanSource::Open(rom, offset));
}

DecodeResult<DecodedBlock> ReadKosinskiBlock(const std::filesystem::path& rom, std::int64_t offset) {
  return Decode(FileSource::Open(rom, offset));
}

DecodeResult<Extraction> KosinskiDecompress(const std::filesystem::path& source,
                                            const std::filesystem::path& destination, std::int32_t offset) {
  return ExtractBlock(source, destination, offset, ReadKosinskiBlock);
}

}  // namespace quarvel
