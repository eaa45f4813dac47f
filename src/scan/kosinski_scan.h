// Kosinski blocks at every offset of a ROM image, in time that does not depend on what
// the bytes hold.
//
// Walks that start at different offsets soon read the same commands from the same
// bytes: once two walks have loaded the same descriptor at the same point of a command,
// they go on alike, and only how much each has decoded so far tells their ends apart.
// The scanner keeps, for such points, what the rest of the walk comes to, so that each
// stretch of the image is walked about once, even through 0xFF padding (a literal run
// of 65,536 bytes from every offset) or a long block entered at each of its bytes.
#pragma once

#include <bit>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "decoders/decoded_block.h"

namespace quarvel {

// The most bytes the games' compressor's stream takes (up to its end marker) for data of
// `decoded` bytes: every byte a literal, a descriptor bit each, the empty copy and the end
// marker, and a whole descriptor more when the marker fills one.
constexpr std::uint64_t KosinskiLongestStream(std::uint64_t decoded) { return decoded + decoded / 8 + 9; }

class KosinskiScanner {
 public:
  explicit KosinskiScanner(std::span<const std::uint8_t> rom);

  // What ProbeKosinski(rom, offset) finds, for a block whose stream takes no more bytes
  // than KosinskiLongestStream of what it decodes to; nothing for any other. Safe from
  // many threads at once; fastest when the offsets are asked from the end of the image
  // down. An offset asked again soon after by the same thread is answered at once (the
  // Kosinski Moduled weigher asks for the module after the header the Kosinski weigher
  // has just had).
  std::optional<BlockProbe> At(std::size_t offset) const;

  // False where no block starts at `offset`, as its first descriptor tells, in a few
  // steps without a branch on the bytes: a copy from before the start ends a walk that
  // has loaded no other descriptor. Nearly every offset of bytes that are no block fails
  // here; At tests it first.
  static bool MayStartAt(std::span<const std::uint8_t> rom, std::size_t offset);

  // The commands of the block at `offset`, and how many of them no encoder would write
  // (the games' own compressor included): a literal that repeats the two bytes before it
  // after another literal, a literal that goes on with the copy just made (shorter than
  // 253 bytes), a long-form copy that an inline one could make (up to 255 back), and a copy
  // of nothing, but for one at 0xA000 or later. Streams that run into a block from bytes
  // that are none have many; the reading stops at the fifth.
  struct Commands {
    unsigned count = 0;
    unsigned oddities = 0;
  };
  static Commands Read(std::span<const std::uint8_t> rom, std::size_t offset);

 private:
  std::optional<BlockProbe> Walk(std::size_t offset) const;

  struct Free {
    void operator()(std::uint64_t* slots) const { std::free(slots); }
  };

  std::uint64_t serial_;  // this scanner's among all made, for the answers a thread keeps
  std::span<const std::uint8_t> rom_;
  unsigned shift_;  // the kept outcomes are 2^shift_ slots, one for each descriptor position modulo 2^shift_
  // Zeroed pages from the system, touched only where a walk keeps an outcome; read and
  // written through std::atomic_ref.
  std::unique_ptr<std::uint64_t[], Free> kept_;
};

inline bool KosinskiScanner::MayStartAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  if (offset >= rom.size()) return false;
  if (rom.size() - offset < 2 + 16 + 3) return true;
  const unsigned descriptor = rom[offset] | unsigned{rom[offset + 1]} << 8;
  // Literals, then the copy's two bits; an inline copy has two more. Each literal takes a
  // byte; then come the copy's, unless its last bit emptied the descriptor (16 bits)
  // and the next was loaded first.
  const auto literals = static_cast<unsigned>(std::countr_one(descriptor));
  if (literals >= 12) return true;
  const bool inlineCopy = (descriptor >> (literals + 1) & 1u) == 0;
  const std::uint8_t* operands = rom.data() + offset + 2 + literals;
  const unsigned low = operands[0], high = operands[1];
  // No further back than the literals: 256 - low for an inline copy, 8192 - 256 * (high
  // >> 3) - low for a full one (at most 11 only with high >> 3 at 31, then 256 - low too).
  const bool inside = (low + literals >= 256) & (inlineCopy | (high >= 0xF8));
  // The long form's end marker and empty copy are no copy.
  const bool noCopy = !inlineCopy & ((high & 7u) == 0) & (operands[2] <= 1);
  return noCopy | inside;
}

}  // namespace quarvel
