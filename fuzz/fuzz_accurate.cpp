// Any data through both compressors of every format: each block decodes back to the
// data, and the smallest block is never larger than the games' own, counted as the
// decoder counts a stream (without the padding after it).
#include <algorithm>
#include <cstdlib>
#include <span>

#include "formats/format_table.h"

namespace {

// What the decoder reads of `block`; aborts unless it gives `data` back whole.
std::uint64_t StreamOf(quarvel::Format format, const std::vector<std::uint8_t>& block,
                       std::span<const std::uint8_t> data) {
  const auto back = quarvel::DecodeBlock(format, block, 0);
  if (!back || !back->warnings.empty() ||
      !std::equal(data.begin(), data.end(), back->bytes.begin(), back->bytes.end()))
    std::abort();
  return back->compressedSize;
}

}  // namespace

// Inputs are taken up to 12 KiB, past the 8 KiB reach of a copy and enough tiles for
// every code length, so that a run tries many of them.
constexpr std::size_t kLongestInput = 12 * 1024;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t whole) {
  const std::size_t size = std::min(whole, kLongestInput);
  const std::span<const std::uint8_t> input(bytes, size);
  for (const auto& info : quarvel::Formats()) {
    // What each format takes: whole tiles, whole words, no more than it holds.
    std::size_t take = std::min<std::size_t>(size, info.largestData);
    if (info.tiles) take -= take % quarvel::kTileBytes;
    if (info.format == quarvel::Format::Enigma) take -= take % 2;
    const auto data = input.first(take);
    const auto& codec = quarvel::CodecOf(info.format);
    const auto smallest = codec.compress(data);
    const auto games = codec.compressAccurate(data, {});
    if (smallest.has_value() != games.has_value()) std::abort();
    if (!smallest) continue;  // no data: no block of the format
    if (StreamOf(info.format, *smallest, data) > StreamOf(info.format, *games, data)) std::abort();
    if (info.format == quarvel::Format::Nemesis) {
      const auto even = codec.compressAccurate(data, {.evenLength = true, .headerSize = {}});
      if (!even || even->size() % 2 != 0) std::abort();
      StreamOf(info.format, *even, data);
    }
  }
  return 0;
}
