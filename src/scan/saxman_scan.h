// What the scan reads of a Saxman song at an offset: a stream has no end command, so
// nearly any count "decodes"; the evidence is in its commands, which an encoder writes
// in a shape of its own.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "decoders/decoded_block.h"
#include "decoders/saxman.h"

namespace quarvel {

struct SaxmanProbe {
  DecodedBlock block;
  std::size_t commands = 0;
  std::size_t copies = 0;   // of the commands, those that copy (zeros too)
  // Commands no encoder writes where it had a better choice at no cost: a copy that a
  // literal or copy right after it continues (one longer copy would do), a fourth equal
  // literal in a row (a literal and a copy would do), a last descriptor with bits set
  // past the count's end, a count that ends right after a descriptor byte.
  unsigned oddities = 0;
};

// The song at `offset` of `rom`, read command by command; nothing as soon as a command
// shows that no encoder wrote it (a copy from before the start other than of the 18
// positions an encoder takes its zeros from, a copy of the byte being written, a count
// that ends inside a copy) or more than `oddities` odd commands come up, and for a count
// of fewer than `shortest` bytes or past the image's end. A song is read only up to its count.
std::optional<SaxmanProbe> ProbeSaxman(std::span<const std::uint8_t> rom, std::size_t offset, std::size_t shortest,
                                       unsigned oddities);

// False where no song starts at `offset`, as its count and first descriptor tell, in a
// few steps: a count past the image's end, or a first copy (after the literals before
// it) from before the start other than of the zeros just before it. Nearly every offset
// of bytes that are no song fails here; ProbeSaxman tests it first.
inline bool SaxmanMayStartAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  if (offset >= rom.size() || rom.size() - offset < kSaxmanHeaderBytes) return false;
  const std::size_t count = rom[offset] | std::size_t{rom[offset + 1]} << 8;
  const std::uint8_t* first = rom.data() + offset + kSaxmanHeaderBytes;
  if (count > rom.size() - offset - kSaxmanHeaderBytes) return false;
  if (count < 3) return true;
  const auto literals = static_cast<std::size_t>(std::countr_one(unsigned{first[0]}));
  if (literals >= 8 || count < 1 + literals + 2) return true;
  const unsigned b0 = first[1 + literals], b1 = first[2 + literals];
  const std::size_t back = (literals - (((b1 & 0xF0u) << 4 | b0) + 18)) & (kSaxmanWindow - 1);
  return back != 0 && back <= literals + kSaxmanLongestCopy;
}

}  // namespace quarvel
