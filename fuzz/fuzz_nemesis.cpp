// Nemesis decoding of any bytes, at several offsets: never a crash, whole tiles within
// the 8,192-tile limit; the file path that every command takes gives what decoding
// from memory gives; a block at offset k decodes as the bytes from k on do; and what
// the scan's probe accepts decodes, to the sizes the probe found; and a source that gives
// its bytes one at a time (the general path) gives what memory (the fast one) gives.
#include <cstdlib>
#include <span>

#include "decoders/nemesis.h"
#include "files/extraction.h"
#include "scratch_file.h"
#include "support/trickle_source.h"

using quarvel::DecodedBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  const auto decode = [](std::span<const std::uint8_t> bytes, std::int64_t at) {
    return quarvel::DecodeNemesis(bytes, at);
  };
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize;
  };
  quarvel::fuzz::DecodeAtOffsets(
      quarvel::Format::Nemesis, rom, decode, same, [&](std::size_t offset, const auto& block) {
        if (const auto probe = quarvel::ProbeNemesis(rom, offset)) {
          if (!block || block->bytes.size() != probe->tiles * quarvel::kNemesisTileBytes ||
              block->compressedSize != probe->compressedSize)
            std::abort();
        }
        if (offset < size) {
          quarvel::testing::TrickleSource trickle(rom, offset);
          quarvel::fuzz::RequireSame(block, quarvel::DecodeNemesis(trickle), 0, same);
        }
        if (!block) return;
        const std::size_t tiles = (std::size_t{data[offset]} & 0x7F) << 8 | data[offset + 1];
        if (block->bytes.size() != tiles * quarvel::kNemesisTileBytes || tiles > quarvel::kNemesisMaxTiles)
          std::abort();
        if (block->compressedSize > size - offset) std::abort();
      });
  return 0;
}
