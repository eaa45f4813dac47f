#include "scan/block_scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

namespace quarvel {
namespace {

constexpr std::size_t kChunk = 16 * 1024;  // offsets a worker takes at a time

// No encoder starts a block with this many bytes of one value: a Kosinski stream would
// hold literals that repeat the bytes before them, or copy from before its start; a
// Nemesis table, one code twice; an Enigma stream, entries that merge, or no end. Runs of
// padding are passed over up to their last bytes.
constexpr std::size_t kOneValueRun = 32;

// How many bytes from `offset` on hold rom[offset]'s value, up to kOneValueRun.
std::size_t RunAt(std::span<const std::uint8_t> rom, std::size_t offset) {
  std::size_t run = 0;
  while (offset + run < rom.size() && run < kOneValueRun && rom[offset + run] == rom[offset]) ++run;
  return run;
}

// The first offset, from `first` on, of the bytes of rom[offset]'s value that end at
// `offset`: eight at a time.
std::size_t RunStart(std::span<const std::uint8_t> rom, std::size_t first, std::size_t offset) {
  const std::uint64_t eight = 0x0101010101010101u * rom[offset];
  for (std::uint64_t word; offset - first >= 8; offset -= 8) {
    std::memcpy(&word, rom.data() + offset - 8, 8);
    if (word != eight) break;
  }
  while (offset > first && rom[offset - 1] == rom[offset]) --offset;
  return offset;
}

// Whether `a` is the block rather than `b`, of two streams of a format that end at the
// same byte: they have run into one another, and only one can be a block. The games' own
// output; else one taken for a block; else the one that fits its bytes best, then the
// last to start.
bool RatherThan(const ScanCandidate& a, const ScanCandidate& b) {
  if (a.gamesOwn != b.gamesOwn) return a.gamesOwn;
  const bool likelyA = a.confidence >= kLikelyBlock, likelyB = b.confidence >= kLikelyBlock;
  if (likelyA != likelyB) return likelyA;
  return std::pair(a.fit, a.offset) > std::pair(b.fit, b.offset);
}

// Of streams that end at the same byte, the block (see RatherThan). Then of overlapping
// candidates the games' own output wins, else one taken for a block, else the first to
// start (then the surer). Those kept are listed at their ceiling at most.
std::vector<ScanCandidate> Resolve(std::vector<ScanCandidate> all) {
  std::sort(all.begin(), all.end(), [](const ScanCandidate& a, const ScanCandidate& b) {
    const auto endA = a.offset + a.compressedSize, endB = b.offset + b.compressedSize;
    if (a.format != b.format || endA != endB) return std::pair(a.format, endA) < std::pair(b.format, endB);
    return RatherThan(a, b);
  });
  all.erase(std::unique(all.begin(), all.end(),
                        [](const ScanCandidate& a, const ScanCandidate& b) {
                          return a.format == b.format && a.offset + a.compressedSize == b.offset + b.compressedSize;
                        }),
            all.end());
  std::sort(all.begin(), all.end(), [](const ScanCandidate& a, const ScanCandidate& b) {
    if (a.gamesOwn != b.gamesOwn) return a.gamesOwn;
    const bool likelyA = a.confidence >= kLikelyBlock, likelyB = b.confidence >= kLikelyBlock;
    if (likelyA != likelyB) return likelyA;
    if (a.offset != b.offset) return a.offset < b.offset;
    if (a.confidence != b.confidence) return a.confidence > b.confidence;
    return a.compressedSize > b.compressedSize;
  });
  std::map<std::uint64_t, std::uint64_t> kept;  // start -> end
  std::vector<ScanCandidate> result;
  for (const auto& candidate : all) {
    const std::uint64_t start = candidate.offset, end = candidate.offset + candidate.compressedSize;
    auto after = kept.lower_bound(start);
    if (after != kept.end() && after->first < end) continue;
    if (after != kept.begin() && std::prev(after)->second > start) continue;
    kept.emplace(start, end);
    result.push_back(candidate);
    result.back().confidence = std::min(candidate.confidence, candidate.ceiling);
  }
  std::sort(result.begin(), result.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
  return result;
}

}  // namespace

Expected<std::vector<ScanCandidate>, ScanStop> ScanWithWeighers(std::span<const std::uint8_t> rom,
                                                                const std::vector<FormatWeigher>& weighers,
                                                                unsigned threadCount, const ScanProgress& progress,
                                                                StartFilter filter) {
  const std::size_t total = rom.size();
  std::atomic<std::size_t> nextChunk{0};
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> kept{0};
  std::atomic<bool> stop{false};
  std::mutex failureLock;
  std::exception_ptr failure;

  const unsigned threads = threadCount != 0 ? threadCount : std::max(1u, std::thread::hardware_concurrency());

  // From the end of the image down, so that a walk from an offset meets the ones already
  // taken from the offsets after it.
  std::vector<std::vector<ScanCandidate>> found(threads);
  // What a worker fills for each stretch it weighs (bit f of may[i]: a block of format f
  // may start at the stretch's offset i), made here so that a worker that finds nothing
  // allocates nothing.
  struct Scratch {
    std::vector<std::uint8_t> may = std::vector<std::uint8_t>(kChunk);
  };
  static_assert(kFormatInfos.size() <= 8, "a byte holds a bit for each format");
  std::vector<Scratch> scratches(threads);
  std::uint8_t formats = 0;  // of the weighers
  for (const auto& weigher : weighers) formats |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(weigher.format));
  // The offsets from `from` to `to` - 1, outside runs of one value: the start filter over
  // them all, then each weigher where it leaves the weigher's format, from the top down.
  // False when the scan must stop.
  auto weighStretch = [&](std::size_t from, std::size_t to, Scratch& scratch, std::vector<ScanCandidate>& mine) {
    const std::size_t count = to - from;
    if (filter)
      filter(rom, from, count, scratch.may.data());
    else
      std::fill_n(scratch.may.begin(), count, formats);
    for (std::size_t offset = to; offset-- > from;) {
      const unsigned may = scratch.may[offset - from] & formats;
      if (may == 0) continue;
      for (const auto& [format, weigh] : weighers) {
        if ((may >> static_cast<unsigned>(format) & 1u) == 0) continue;
        const auto hit = weigh(offset);
        if (!hit) continue;
        if (kept.fetch_add(1, std::memory_order_relaxed) >= kScanCandidateLimit) return false;
        mine.push_back({offset, format, hit->decodedSize, hit->compressedSize, hit->confidence, hit->fit, hit->gamesOwn,
                        hit->ceiling});
      }
    }
    return true;
  };
  auto walk = [&](std::vector<ScanCandidate>& mine, Scratch& scratch) {
    for (;;) {
      const std::size_t taken = nextChunk.fetch_add(kChunk);
      if (taken >= total || stop.load(std::memory_order_relaxed)) return;
      const std::size_t end = total - taken, first = end - std::min(end, kChunk);
      // Down from the chunk's end, each stretch between runs of one value as it ends.
      std::size_t run = RunAt(rom, end), top = end;
      for (std::size_t offset = end; offset-- > first;) {
        run = offset + 1 < total && rom[offset] == rom[offset + 1] ? std::min(run + 1, kOneValueRun) : 1;
        if (run != kOneValueRun) continue;
        if (top != offset + 1 && !weighStretch(offset + 1, top, scratch, mine)) return stop.store(true);
        top = offset = RunStart(rom, first, offset);  // as each offset below it of the same value
      }
      if (top != first && !weighStretch(first, top, scratch, mine)) return stop.store(true);
      done.fetch_add(end - first);
    }
  };
  auto work = [&](std::vector<ScanCandidate>& mine, Scratch& scratch) {
    try {
      walk(mine, scratch);
    } catch (...) {
      const std::lock_guard<std::mutex> hold(failureLock);
      if (!failure) failure = std::current_exception();
      stop = true;
    }
  };

  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work, std::ref(found[t]), std::ref(scratches[t]));
  while (progress && done.load() < total && !stop.load()) {
    if (!progress(done.load(), total)) stop = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (auto& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
  if (kept > kScanCandidateLimit) {
    static_assert(kScanCandidateLimit == 1048576);
    return Fail(ScanStop{ScanStop::Why::TooManyCandidates,
                         "the scan stopped after 1,048,576 candidate blocks: no game's ROM image holds that many"});
  }
  if (stop) return Fail(ScanStop{ScanStop::Why::Cancelled, "the scan was cancelled"});
  if (progress) progress(total, total);

  std::vector<ScanCandidate> all;
  for (auto& part : found) all.insert(all.end(), part.begin(), part.end());
  return Resolve(std::move(all));
}

}  // namespace quarvel
