// Kosinski: LZ77-style data. 16-bit little-endian descriptors, taken bit by bit from
// bit 0, select literals (1), inline copies from up to 256 bytes back (00hl + 1 byte)
// and full copies from up to 8,192 bytes back (01 + 2 or 3 bytes), up to an end marker.
// A descriptor is read as soon as the previous one's 16th bit is taken, so it stands
// before the operand bytes of the command that took that bit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "decoders/decode_error.h"
#include "decoders/extraction.h"

namespace quarvel {

inline constexpr std::size_t kKosinskiCapacity = 65536;

struct KosinskiBlock {
  std::vector<std::uint8_t> bytes;        // 1 to kKosinskiCapacity bytes
  std::uint64_t compressedSize = 0;       // stream bytes read, descriptors included
  bool stoppedAtCopyBeforeStart = false;  // ended at a copy from before the first byte,
                                          // not at the end marker; `bytes` is what came before
};

// Decodes the block that starts at `offset` of `rom`. Never reads outside `rom` and
// never writes outside its own output, whatever the bytes hold. Fails when the stream
// runs past the end of `rom`, would decode to more than 65,536 bytes, or decodes to
// nothing (errors EmptyResult, or CopyBeforeStart when a copy from before the start
// stopped it).
DecodeResult<KosinskiBlock> DecodeKosinski(std::span<const std::uint8_t> rom, std::int64_t offset);

// The same, from the file `rom`, reading only as far as the block goes.
DecodeResult<KosinskiBlock> ReadKosinskiBlock(const std::filesystem::path& rom, std::int64_t offset);

// Decodes the block at `offset` of `source` and makes `destination` hold exactly its
// bytes. The destination is refused when it is the source, and is left as it was on
// any failure; the source is only read.
DecodeResult<Extraction> KosinskiDecompress(const std::filesystem::path& source,
                                            const std::filesystem::path& destination, std::int32_t offset);

}  // namespace quarvel
