#include "decoders/saxman.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace quarvel {
namespace {

// The most bytes a stream of `size` bytes decodes to: groups of a descriptor and 8 copies
// of 18 bytes each.
constexpr std::size_t MostDecoded(std::size_t size) { return (size + 16) / 17 * 8 * kSaxmanLongestCopy; }

DecodeError BadCopy(std::uint64_t position, std::uint64_t block, const std::string& what) {
  return {DecodeErrorKind::BadCopy, position, "the block at " + HexOffset(block) + " " + what + " at byte " + HexOffset(position)};
}

// Decodes `stream`, whose first byte is at `first` of the source.
DecodeResult<DecodedBlock> DecodeStream(std::span<const std::uint8_t> stream, std::uint64_t block, std::uint64_t first) {
  // Decoded into a buffer kept for the thread, with room for a last copy past the limit.
  thread_local std::vector<std::uint8_t> buffer(kSaxmanCapacity + kSaxmanLongestCopy);
  const std::size_t limit = std::min(kSaxmanCapacity, MostDecoded(stream.size()));
  std::uint8_t* const out = buffer.data();
  std::size_t w = 0;
  const std::uint8_t* in = stream.data();
  const std::uint8_t* const end = in + stream.size();
  while (in != end) {
    unsigned descriptor = *in++ | 0x100u;  // the high bit marks the group's end
    for (; descriptor != 1 && in != end; descriptor >>= 1) {
      if (descriptor & 1) {
        if (w == limit) return Fail(OutputTooLargeError(first + static_cast<std::uint64_t>(in - stream.data()), kSaxmanCapacity));
        out[w++] = *in++;
        continue;
      }
      const std::uint64_t at = first + static_cast<std::uint64_t>(in - stream.data());
      if (end - in < 2) return Fail(BadCopy(at, block, "has a count that ends inside a copy"));
      const unsigned b0 = in[0], b1 = in[1];
      in += 2;
      const std::size_t length = (b1 & 0x0Fu) + 3;
      const std::size_t ring = ((b1 & 0xF0u) << 4 | b0) + 18;
      const std::size_t back = (w - ring) & (kSaxmanWindow - 1);  // how far below the output's end
      if (back == 0) return Fail(BadCopy(at, block, "copies the byte it is writing"));
      if (w + length > limit) return Fail(OutputTooLargeError(at, kSaxmanCapacity));
      std::uint8_t* to = out + w;
      if (back > w) {
        std::memset(to, 0, length);
      } else if (back >= length) {
        std::memcpy(to, to - back, length);
      } else {
        const std::uint8_t* from = to - back;  // overlaps what it writes
        for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
      }
      w += length;
    }
  }
  DecodedBlock result;
  result.bytes.assign(out, out + w);
  return result;
}

DecodeResult<DecodedBlock> DecodeCounted(ByteSource& in, std::size_t count, std::uint64_t block) {
  const std::uint64_t first = in.Position();
  std::vector<std::uint8_t> read;
  std::span<const std::uint8_t> stream = in.Buffered();
  if (stream.size() >= count) {
    stream = stream.first(count);
    in.Skip(count);
  } else {
    read.reserve(count);
    for (std::uint8_t byte; read.size() < count && in.Next(byte);) read.push_back(byte);
    if (read.size() < count)
      return Fail(EndOfData(in, "counts " + std::to_string(count) + " stream bytes from " + HexOffset(first) + ": it ends"));
    stream = read;
  }
  auto result = DecodeStream(stream, block, first);
  if (result) result->compressedSize = first + count - block;
  return result;
}

}  // namespace

DecodeResult<DecodedBlock> DecodeSaxman(ByteSource& in) {
  std::uint8_t low, high;
  if (!in.Next(low) || !in.Next(high)) return Fail(EndOfData(in, "ends inside its count"));
  return DecodeCounted(in, std::size_t{high} << 8 | low, in.BlockStart());
}

DecodeResult<DecodedBlock> DecodeSaxmanStream(ByteSource& in, std::uint16_t streamSize) {
  return DecodeCounted(in, streamSize, in.BlockStart());
}

DecodeResult<DecodedBlock> DecodeSaxman(std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return DecodeSaxman(*in);
}

DecodeResult<DecodedBlock> DecodeSaxmanStream(std::span<const std::uint8_t> rom, std::int64_t offset,
                                              std::uint16_t streamSize) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return DecodeSaxmanStream(*in, streamSize);
}

}  // namespace quarvel
