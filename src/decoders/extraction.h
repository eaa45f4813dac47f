// The file side of an extraction: what every format's driver does around its decoder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "decoders/decode_error.h"

namespace quarvel {

// What a driver did, for the caller to report.
struct Extraction {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
  bool stoppedAtCopyBeforeStart = false;  // Kosinski: ended at a copy from before the start
};

// A failure when `destination` is the ROM image `source` under any name.
std::optional<DecodeError> RefuseSourceAsDestination(const std::filesystem::path& source,
                                                     const std::filesystem::path& destination);

// Makes `destination` hold exactly `bytes`, or leaves it as it was and says why.
std::optional<DecodeError> WriteDestination(const std::filesystem::path& destination,
                                            std::span<const std::uint8_t> bytes);

}  // namespace quarvel
