// Kosinski: LZ77-style data. 16-bit little-endian descriptors, taken bit by bit from
// bit 0, select literals (1), inline copies from up to 256 bytes back (00hl + 1 byte)
// and full copies from up to 8,192 bytes back (01 + 2 or 3 bytes), up to an end marker.
// A descriptor is read as soon as the previous one's 16th bit is taken, so it stands
// before the operand bytes of the command that took that bit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"

namespace quarvel {

inline constexpr std::size_t kKosinskiCapacity = 65536;

// Decodes the block that starts at `offset` of `rom` into 1 to 65,536 bytes. Never
// reads outside `rom` and never writes outside its own output, whatever the bytes hold.
// Fails when the stream runs past the end of `rom`, would decode to more than 65,536
// bytes, decodes to nothing (EmptyResult), or copies from before the start of its
// output (CopyBeforeStart, at the copy's last byte: a block read at a wrong offset).
DecodeResult<DecodedBlock> DecodeKosinski(std::span<const std::uint8_t> rom, std::int64_t offset);

// The same, for the block that starts at the next byte of `source`, reading only as far
// as the block goes.
DecodeResult<DecodedBlock> DecodeKosinski(ByteSource& source);

// The same, into `out`, which has room for kKosinskiCapacity + kKosinskiSlack bytes (a
// copy may write up to 15 bytes past its end, which the next commands write again): the
// decoded size. The block's size is how far `source` has moved.
inline constexpr std::size_t kKosinskiSlack = 16;
DecodeResult<std::size_t> DecodeKosinskiInto(ByteSource& source, std::uint8_t* out);

// Whether a block that ends at its end marker, with no copy from before its start and
// something to decode, starts at `offset`: its sizes, found without decoding a byte.
std::optional<BlockProbe> ProbeKosinski(std::span<const std::uint8_t> rom, std::size_t offset);

}  // namespace quarvel
