// The one table that binds each format to the code that decodes it, compresses it (two
// ways) and finds it in a ROM image. It sits above the decoders, the compressors and the
// scan, which know nothing of it; what a format is (its names, letter and limits) lies
// below them all, in common/format.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"
#include "common/format.h"
#include "decoders/byte_source.h"
#include "decoders/decoded_block.h"
#include "scan/block_scan.h"

namespace quarvel {

// What the games' compressors did differently from one game to another.
struct AccurateOptions {
  bool evenLength = false;                   // Nemesis: Sonic 3 & Knuckles pads its blocks to an even length
  std::optional<std::uint16_t> headerSize;   // Kosinski Moduled: the size the header states, when not the data's
};

using Compressor = Expected<std::vector<std::uint8_t>, std::string> (*)(std::span<const std::uint8_t> data);
using AccurateCompressor = Expected<std::vector<std::uint8_t>, std::string> (*)(std::span<const std::uint8_t> data,
                                                                                const AccurateOptions& options);

struct FormatCodec {
  Format format;
  DecodeResult<DecodedBlock> (*decode)(ByteSource& source);
  // The smallest block it finds, for hacks: never larger than the accurate one.
  Compressor compress;
  // The very bytes the games' own compressor wrote, for rebuilding a game byte for byte.
  AccurateCompressor compressAccurate;
  // What weighs each offset of `rom` as the start of a block (see format_probes.h).
  ScanWeigher (*scanner)(std::span<const std::uint8_t> rom);
};

const FormatCodec& CodecOf(Format format);

// Decodes the block at `offset` of `rom` in `format`.
DecodeResult<DecodedBlock> DecodeBlock(Format format, std::span<const std::uint8_t> rom, std::int64_t offset);

// Scans `rom` for blocks of the formats of `options` (see ScanWithWeighers).
Expected<std::vector<ScanCandidate>, ScanStop> ScanRom(std::span<const std::uint8_t> rom, const ScanOptions& options,
                                                       const ScanProgress& progress = {});

}  // namespace quarvel
