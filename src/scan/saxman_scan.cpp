#include "scan/saxman_scan.h"

#include <cstring>

#include "decoders/saxman.h"

namespace quarvel {

std::optional<SaxmanProbe> ProbeSaxman(std::span<const std::uint8_t> rom, std::size_t offset, std::size_t shortest,
                                       unsigned oddities) {
  if (!SaxmanMayStartAt(rom, offset)) return std::nullopt;
  const std::size_t count = rom[offset] | std::size_t{rom[offset + 1]} << 8;
  const std::size_t first = offset + kSaxmanHeaderBytes;
  if (count < shortest) return std::nullopt;
  thread_local std::vector<std::uint8_t> buffer(kSaxmanCapacity + kSaxmanLongestCopy);
  std::uint8_t* const out = buffer.data();
  const std::uint8_t* in = rom.data() + first;
  const std::uint8_t* const end = in + count;
  std::size_t w = 0;
  SaxmanProbe probe;
  // The last command, when it was a copy shorter than the longest: how far back it read,
  // and how long it was. A command that goes on from where it stopped makes it odd.
  std::size_t lastBack = 0, lastLength = kSaxmanLongestCopy;
  unsigned equalLiterals = 0;  // the literals just written, all of one value
  unsigned descriptor = 1;
  while (in != end) {
    descriptor = *in++ | 0x100u;  // the high bit marks the group's end
    if (in == end) ++probe.oddities;  // an empty group: an encoder ends with the last full one
    for (; descriptor != 1 && in != end; descriptor >>= 1, ++probe.commands) {
      if (descriptor & 1) {
        if (w == kSaxmanCapacity) return std::nullopt;
        if (lastLength < kSaxmanLongestCopy && out[w - lastBack] == *in) ++probe.oddities;
        equalLiterals = equalLiterals != 0 && out[w - 1] == *in ? equalLiterals + 1 : 1;
        if (equalLiterals >= 4) ++probe.oddities;  // a literal and a copy of the one before would do
        lastLength = kSaxmanLongestCopy;
        out[w++] = *in++;
      } else {
        if (end - in < 2) return std::nullopt;
        ++probe.copies;
        equalLiterals = 0;
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
