// Decoding as a ROM asks it: many different blocks in turn, not one block again and
// again (which lets the processor learn its branches). Each format's corpus is the
// tests' data packed by both compressors and the scan tests' pool of blocks; every block
// is decoded, then zlib inflates the same decoded bytes (compressed at level 9), block
// after block, and the two are timed apart: MB/s of output each, and their ratio.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>

#include "encoders/format_corpora.h"
#include "formats/format_table.h"
#include "scan/test_roms.h"

namespace {

using quarvel::Format;
using Bytes = std::vector<std::uint8_t>;

struct CorpusBlock {
  Bytes packed;     // in the format
  Bytes deflated;   // the decoded bytes, by zlib at level 9
  std::size_t decodedSize;
};

// Every block of `format` the tests make, by both compressors.
std::vector<CorpusBlock> Corpus(Format format) {
  std::vector<Bytes> packed;
  const auto& codec = quarvel::CodecOf(format);
  for (const auto& sample : quarvel::testing::FormatCorpora()) {
    if (sample.format != format) continue;
    packed.push_back(*codec.compress(sample.data));
    packed.push_back(*codec.compressAccurate(sample.data, {}));
  }
  for (unsigned pick = 0; pick < quarvel::testing::kBlockPool; ++pick)
    if (const auto& pooled = quarvel::testing::PooledBlock(pick); pooled.format == format) packed.push_back(pooled.packed);
  std::vector<CorpusBlock> corpus;
  for (auto& block : packed) {
    const Bytes decoded = quarvel::DecodeBlock(format, block, 0)->bytes;
    uLongf size = compressBound(decoded.size());
    Bytes deflated(size);
    compress2(deflated.data(), &size, decoded.data(), decoded.size(), 9);
    deflated.resize(size);
    corpus.push_back({std::move(block), std::move(deflated), decoded.size()});
  }
  return corpus;
}

void BM_DecodeCorpusAgainstInflate(benchmark::State& state) {
  const auto format = static_cast<Format>(state.range(0));
  const auto corpus = Corpus(format);
  std::size_t largest = 0, output = 0;
  for (const auto& block : corpus) largest = std::max(largest, block.decodedSize), output += block.decodedSize;
  Bytes inflated(largest);
  using Clock = std::chrono::steady_clock;
  Clock::duration ours{}, zlib{};
  for (auto _ : state) {
    for (const auto& block : corpus) {
      const auto start = Clock::now();
      auto decoded = quarvel::DecodeBlock(format, block.packed, 0);
      benchmark::DoNotOptimize(decoded->bytes.data());
      const auto middle = Clock::now();
      uLongf size = inflated.size();
      uncompress(inflated.data(), &size, block.deflated.data(), block.deflated.size());
      benchmark::DoNotOptimize(inflated.data());
      const auto end = Clock::now();
      ours += middle - start;
      zlib += end - middle;
    }
  }
  const double megabytes = static_cast<double>(state.iterations()) * static_cast<double>(output) / 1e6;
  const double oursSeconds = std::chrono::duration<double>(ours).count();
  const double zlibSeconds = std::chrono::duration<double>(zlib).count();
  state.counters["blocks"] = static_cast<double>(corpus.size());
  state.counters["ours_MB/s"] = megabytes / oursSeconds;
  state.counters["zlib_MB/s"] = megabytes / zlibSeconds;
  state.counters["ours_over_zlib"] = zlibSeconds / oursSeconds;
  state.SetLabel(std::string(quarvel::FormatName(format)));
}
BENCHMARK(BM_DecodeCorpusAgainstInflate)->DenseRange(0, 3)->ArgName("format")->Unit(benchmark::kMillisecond);

}  // namespace
