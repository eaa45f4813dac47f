// Kosinski Moduled: data loaded a piece at a time. A big-endian word S, the decoded
// size, then ceil(S / 0x1000) Kosinski streams (modules): every one but the last
// decodes to 0x1000 bytes, the last to the rest, and zero bytes after each but the last
// pad the modules to a multiple of 16 bytes counted from the first module's start.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"

namespace quarvel {

inline constexpr std::size_t kModuleBytes = 0x1000;
inline constexpr std::size_t kModuledCapacity = 0xFFFF;  // S is a 16-bit word
inline constexpr std::size_t kModulePadding = 16;

// Decodes the block that starts at `offset` of `rom` (or at the next byte of `source`).
// Fails when a module fails, stops at a copy from before its start, or (but the last)
// decodes to other than 0x1000 bytes, and when S is 0. A last module that decodes to
// other than S says is kept whole, with a warning.
DecodeResult<DecodedBlock> DecodeKosinskiModuled(std::span<const std::uint8_t> rom, std::int64_t offset);
DecodeResult<DecodedBlock> DecodeKosinskiModuled(ByteSource& source);

}  // namespace quarvel
