#include "scan/saxman_scan.h"

#include <bit>
#include <cstring>

#include "decoders/saxman.h"

namespace quarvel {
namespace {

// Whether the stream at `first` (`count` bytes) gets past its first copy, as far as its
// first descriptor tells: after its literals, a copy from before the start reads one of
// the zeros just before it, or the stream is none an encoder wrote. Nearly every offset
// of bytes that are no song fails here.
bool PastFirstCopy(const std::uint8_t* first, std::size_t count) {
  const auto literals = static_cast<std::size_t>(std::countr_one(first[0]));
  if (literals == 8 || count < 1 + literals + 2) return true;
  const unsigned b0 = first[1 + literals], b1 = first[2 + literals];
  const std::size_t back = (literals - (((b1 & 0xF0u) << 4 | b0) + 18)) & (kSaxmanWindow - 1);
  return back != 0 && back <= literals + kSaxmanLongestCopy;
}

}  // namespace

std::optional<SaxmanProbe> ProbeSaxman(std::span<const std::uint8_t> rom, std::size_t offset, std::size_t shortest,
                                       unsigned oddities) {
  if (offset + kSaxmanHeaderBytes > rom.size()) return std::nullopt;
  const std::size_t count = rom[offset] | std::size_t{rom[offset + 1]} << 8;
  const std::size_t first = offset + kSaxmanHeaderBytes;
  if (count < shortest || count > rom.size() - first || !PastFirstCopy(rom.data() + first, count)) return std::nullopt;
  thread_local std::vector<std::uint8_t> buffer(kSaxmanCapacity + kSaxmanLongestCopy);
  std::uint8_t* const out = buffer.data();
  const std::uint8_t* in = rom.data() + first;
  const std::uint8_t* const end = in + count;
  std::size_t w = 0;
  SaxmanProbe probe;
  // The last command, when it was a copy shorter than the longest: how far back it read,
  // and how long it was. A command that goes on from where it stopped makes it odd.
  std::size_t lastBack = 0, lastLength = kSaxmanLongestCopy;
  unsigned descriptor = 1;
  while (in != end) {
    descriptor = *in++ | 0x100u;  // the high bit marks the group's end
    if (in == end) ++probe.oddities;  // an empty group: an encoder ends with the last full one
    for (; descriptor != 1 && in != end; descriptor >>= 1, ++probe.commands) {
      if (descriptor & 1) {
        if (w == kSaxmanCapacity) return std::nullopt;
        if (lastLength < kSaxmanLongestCopy && out[w - lastBack] == *in) ++probe.oddities;
        lastLength = kSaxmanLongestCopy;
        out[w++] = *in++;
      } else {
        if (end - in < 2) return std::nullopt;
        const unsigned b0 = in[0], b1 = in[1];
        in += 2;
        const std::size_t length = (b1 & 0x0Fu) + 3;
        const std::size_t back = (w - (((b1 & 0xF0u) << 4 | b0) + 18)) & (kSaxmanWindow - 1);
        // Zeros from before the start come from the 18 positions just before it.
        if (back == 0 || back > w + kSaxmanLongestCopy || w + length > kSaxmanCapacity) return std::nullopt;
        if (back > w) {
          std::memset(out + w, 0, length);
          lastLength = kSaxmanLongestCopy;  // the data's own zeros may follow
        } else {
          if (back == lastBack && lastLength + length <= kSaxmanLongestCopy) ++probe.oddities;
          for (std::size_t i = 0; i < length; ++i) out[w + i] = out[w + i - back];
          lastBack = back, lastLength = length;
        }
        w += length;
      }
      if (probe.oddities > oddities) return std::nullopt;
    }
  }
  // Bits of the last descriptor past the count's end: an encoder leaves them clear.
  if ((descriptor & (descriptor - 1)) != 0) ++probe.oddities;
  probe.block.bytes.assign(out, out + w);
  probe.block.compressedSize = kSaxmanHeaderBytes + count;
  if (probe.oddities > oddities) return std::nullopt;
  return probe;
}

}  // namespace quarvel
