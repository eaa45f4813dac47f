// What every format's decoder gives, and the file side of an extraction around it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "decoders/decode_error.h"
#include "platform/files.h"

namespace quarvel {

struct DecodedBlock {
  std::vector<std::uint8_t> bytes;        // the decoded data, written out as it is
  std::uint64_t compressedSize = 0;       // bytes of the source that the block takes
  bool stoppedAtCopyBeforeStart = false;  // Kosinski: ended at a copy from before the start
                                          // of the output, not at the end marker
};

// The sizes of a block that a probe found.
struct BlockProbe {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
};

// What a driver did, for the caller to report.
struct Extraction {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
  bool stoppedAtCopyBeforeStart = false;
};

// Reads the block at an offset of a ROM image file.
using BlockReader = DecodeResult<DecodedBlock> (*)(const std::filesystem::path& rom, std::int64_t offset);

// Decodes the block at `offset` of `source` with `read` and makes `destination` hold
// exactly its bytes. Refuses a destination that is the source under any name or link,
// or that `options` protects or refuses (see FileReplacement); on any failure the
// destination is left as it was. The source is only read.
DecodeResult<Extraction> ExtractBlock(const std::filesystem::path& source, const std::filesystem::path& destination,
                                      std::int32_t offset, BlockReader read, const ReplaceOptions& options = {});

}  // namespace quarvel
