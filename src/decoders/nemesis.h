// Nemesis: 8x8 tile graphics of 4-bit pixels, written out as one big-endian 32-bit word
// per pixel row.
#pragma once

#include <cstdint>
#include <filesystem>

#include "decoders/extraction.h"

namespace quarvel {

// Decodes the Nemesis block at `offset` of `source` into `destination`.
// Not available yet: always fails with Unsupported, leaving every file as it was.
DecodeResult<Extraction> NemesisDecompress(const std::filesystem::path& source,
                                           const std::filesystem::path& destination, std::int32_t offset);

}  // namespace quarvel
