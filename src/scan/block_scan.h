// Finding compressed blocks that no catalogue lists: every offset of a ROM image is
// tried as the start of a block of each format, and the plausible ones kept.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"
#include "common/format.h"
#include "scan/scan_weigher.h"

namespace quarvel {

struct ScanCandidate {
  std::uint64_t offset = 0;
  Format format = Format::Kosinski;
  std::size_t decodedSize = 0;     // bytes; for Nemesis 32 a tile
  std::uint64_t compressedSize = 0;
  double confidence = 0;           // 0 to 1
  std::int64_t fit = 0;            // see ScanHit
  bool gamesOwn = false;           // see ScanHit
  double ceiling = 1.0;            // see ScanHit
};

struct ScanOptions {
  FormatSet formats = FormatSet::All();
  unsigned threads = 0;  // 0: one per core
};

// Told how many offsets are done of how many, from the calling thread, now and then;
// answers false to stop the scan.
using ScanProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// The most candidates a scan keeps before it resolves their overlaps: three times what
// a game-like image of 64 MiB gives (about 330,000, most of them streams entered inside a
// block). Past it, the bytes are no such image (one short block repeated, say), and the
// scan stops rather than fill the memory.
inline constexpr std::size_t kScanCandidateLimit = std::size_t{1} << 20;

// Why a scan gave no list.
struct ScanStop {
  enum class Why { Cancelled, TooManyCandidates } why;
  std::string message;  // in English: "the scan was cancelled", ...
};

// The confidence from which a candidate is taken for a block: the window checks it at
// first, --add-to adds it, insert replaces it.
inline constexpr double kLikelyBlock = 0.5;

// A format's weigher over one image.
struct FormatWeigher {
  Format format;
  ScanWeigher weigh;
};

// Which formats' blocks may start at each of the offsets first to first + count - 1 of
// an image, as a test of a few first bytes tells: bit f of may[i] (f the number of a
// Format) is clear where that format's weigher finds nothing at offset first + i. The
// scan runs it over a stretch of offsets at a time, before it weighs the ones that
// remain (see start_filters.h).
using StartFilter = void (*)(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count,
                             std::uint8_t* may);

// Asks every weigher at every offset of `rom` (see format_probes.h for what each takes
// for a block) but those where 32 bytes or more of one value start (no block starts so)
// and those where `filter`, when given, clears its format, on `threads` threads (0: one
// per core). Of candidates of a format whose streams end at the same byte, the games' own
// output is kept, else the one that fits best. Of overlapping candidates, the games' own
// output is kept; else one taken for a block (kLikelyBlock or more) before one that is
// not; else the one that starts first (a candidate that starts inside another's stream
// does not displace it), or of two that start together the surer. No two candidates
// listed overlap. The result is in offset order. A failure inside a worker thread (out of memory) is thrown again in the
// calling thread once every worker has ended. ScanRom (formats/format_table.h) scans with
// the weighers of the formats asked for, and FormatStarts (start_filters.h).
Expected<std::vector<ScanCandidate>, ScanStop> ScanWithWeighers(std::span<const std::uint8_t> rom,
                                                                const std::vector<FormatWeigher>& weighers,
                                                                unsigned threads, const ScanProgress& progress = {},
                                                                StartFilter filter = nullptr);

}  // namespace quarvel
