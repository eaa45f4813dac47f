// What a scan asks of each format: whether a block of it starts at an offset, and how
// sure that is.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

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

// Which of the offsets first to first + count - 1 of an image a block of a format may
// start at, as a test of a few first bytes tells: sets may[i] to 0 for offset first + i
// where the format's weigher finds nothing, else to 1. The scan runs it over a chunk of
// offsets at a time, before it weighs the ones that remain (see start_filters.h).
using StartFilter = void (*)(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count,
                             std::uint8_t* may);

}  // namespace quarvel
