// Decoding as a ROM asks it: many different blocks in turn, not one block again and
// again (which lets the processor learn its branches). Each format's corpus is the
// tests' data packed by both compressors and the scan tests' pool of blocks; every block
// is decoded, block after block, then zlib inflates the same decoded bytes (compressed
// at level 9) block after block, and the two passes are timed apart in
// the thread's CPU time (what other programs on the machine do not count in): MB/s of
// output each, and their ratio.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <functional>

#include "encoders/format_corpora.h"
#include "formats/format_table.h"
#include "scan/test_roms.h"
#include "thread_seconds.h"

namespace {

using quarvel::Format;
using Bytes = std::vector<std::uint8_t>;

struct CorpusBlock {
  Bytes packed;     // in the format
  Bytes deflated;   // the decoded bytes, by zlib at level 9
  std::size_t decodedSize;
};

// Packed blocks with their decoded bytes deflated.
std::vector<CorpusBlock> WithDeflated(std::vector<Bytes> packed, const std::function<Bytes(const Bytes&)>& decode) {
  std::vector<CorpusBlock> corpus;
  for (auto& block : packed) {
    const Bytes decoded = decode(block);
    uLongf size = compressBound(decoded.size());
    Bytes deflated(size);
    compress2(deflated.data(), &size, decoded.data(), decoded.size(), 9);
    deflated.resize(size);
    corpus.push_back({std::move(block), std::move(deflated), decoded.size()});
  }
  return corpus;
}

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
  return WithDeflated(std::move(packed), [&](const Bytes& block) { return quarvel::DecodeBlock(format, block, 0)->bytes; });
}

// Times `decode` (which gives the decoded size) over the corpus against zlib's inflate over the same decoded bytes.
void AgainstInflate(benchmark::State& state, const std::vector<CorpusBlock>& corpus,
                    const std::function<std::size_t(const Bytes&)>& decode) {
  std::size_t largest = 0, output = 0;
  for (const auto& block : corpus) largest = std::max(largest, block.decodedSize), output += block.decodedSize;
  Bytes inflated(largest);
  double oursSeconds = 0, zlibSeconds = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    for (const auto& block : corpus) benchmark::DoNotOptimize(decode(block.packed));
    const double middle = ThreadSeconds();
    for (const auto& block : corpus) {
      uLongf size = inflated.size();
      uncompress(inflated.data(), &size, block.deflated.data(), block.deflated.size());
      benchmark::DoNotOptimize(inflated.data());
    }
    oursSeconds += middle - start;
    zlibSeconds += ThreadSeconds() - middle;
  }
  const double megabytes = static_cast<double>(state.iterations()) * static_cast<double>(output) / 1e6;
  state.counters["blocks"] = static_cast<double>(corpus.size());
  state.counters["ours_MB/s"] = megabytes / oursSeconds;
  state.counters["zlib_MB/s"] = megabytes / zlibSeconds;
  state.counters["ours_over_zlib"] = zlibSeconds / oursSeconds;
}

void BM_DecodeCorpusAgainstInflate(benchmark::State& state) {
  const auto format = static_cast<Format>(state.range(0));
  AgainstInflate(state, Corpus(format),
                 [&](const Bytes& block) { return quarvel::DecodeBlock(format, block, 0)->bytes.size(); });
  state.SetLabel(std::string(quarvel::FormatName(format)));
}
BENCHMARK(BM_DecodeCorpusAgainstInflate)->DenseRange(0, 4)->ArgName("format")->Unit(benchmark::kMillisecond);

}  // namespace
