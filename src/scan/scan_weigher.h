// What a scan asks of each format: whether a block of it starts at an offset, and how
// sure that is.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace quarvel {

// A block that a scan takes for one of a format, and how sure it is of it (0 to 1).
struct ScanHit {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
  double confidence = 0;
  // How well the block accounts for its bytes: of candidates whose streams run into one
  // another and end alike, the one that fits best is the block.
  std::int64_t fit = 0;
  // The stream is byte for byte what the games' own compressor writes for its data.
  bool gamesOwn = false;
  // The most it is listed at once the scan has chosen among overlapping candidates (by
  // `confidence`): under 0.5 for a stream that may be a hack's block but is seldom more
  // than chance where it lies, such as a Kosinski block at an odd offset.
  double ceiling = 1.0;
};

// Weighs each offset of one image as the start of a block: made once a scan, asked from
// every thread, fastest from the end of the image down.
using ScanWeigher = std::function<std::optional<ScanHit>(std::size_t offset)>;

}  // namespace quarvel
