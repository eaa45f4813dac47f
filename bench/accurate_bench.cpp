// Both compressors of every format on the tests' corpora: speed in bytes of input a
// second, and the size of what they make (the smallest block's against the games'); and
// each compressor against zlib's level 9.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include "encoders/format_corpora.h"
#include "formats/format_table.h"
#include "thread_seconds.h"

namespace {

using quarvel::Format;

// The stream the decoder reads of `block`: without the padding after it.
std::uint64_t Stream(Format format, const std::vector<std::uint8_t>& block) {
  return quarvel::DecodeBlock(format, block, 0)->compressedSize;
}

// Arguments: the format, and 0 for the smallest block or 1 for the games' own.
void BM_CompressCorpus(benchmark::State& state) {
  const auto format = static_cast<Format>(state.range(0));
  const bool accurate = state.range(1) != 0;
  std::vector<std::vector<std::uint8_t>> inputs;
  for (auto& sample : quarvel::testing::FormatCorpora())
    if (sample.format == format) inputs.push_back(std::move(sample.data));
  const auto& codec = quarvel::CodecOf(format);
  std::uint64_t input = 0, made = 0, games = 0;
  for (auto _ : state) {
    input = made = 0;
    for (const auto& data : inputs) {
      const auto block = accurate ? codec.compressAccurate(data, {}) : codec.compress(data);
      input += data.size();
      made += Stream(format, *block);
    }
  }
  for (const auto& data : inputs) games += Stream(format, *codec.compressAccurate(data, {}));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input));
  state.counters["stream_bytes"] = static_cast<double>(made);
  state.counters["of_games"] = static_cast<double>(made) / static_cast<double>(games);
  state.SetLabel(std::string(quarvel::FormatName(format)) + (accurate ? ", the games' own" : ", smallest"));
}
BENCHMARK(BM_CompressCorpus)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 4, 1), {0, 1}})
    ->ArgNames({"format", "accurate"})
    ->Unit(benchmark::kMillisecond);

// A compressor of a format (the smallest block's, or the games' own) against zlib's level 9
// (what gzip -9 runs), input after input of the corpus, the two in turn, each timed in the
// thread's CPU time: each one's time and the ratio, in process, without the programs' start.
void BM_CompressCorpusAgainstDeflate(benchmark::State& state) {
  const auto format = static_cast<Format>(state.range(0));
  const bool accurate = state.range(1) != 0;
  std::vector<std::vector<std::uint8_t>> inputs;
  for (auto& sample : quarvel::testing::FormatCorpora())
    if (sample.format == format) inputs.push_back(std::move(sample.data));
  const auto& codec = quarvel::CodecOf(format);
  std::vector<Bytef> deflated;
  double ours = 0, zlib = 0;
  for (auto _ : state) {
    for (const auto& data : inputs) {
      const double start = ThreadSeconds();
      const auto block = accurate ? codec.compressAccurate(data, {}) : codec.compress(data);
      benchmark::DoNotOptimize(block->data());
      const double middle = ThreadSeconds();
      uLongf size = compressBound(data.size());
      deflated.resize(size);
      compress2(deflated.data(), &size, data.data(), data.size(), 9);
      benchmark::DoNotOptimize(deflated.data());
      ours += middle - start;
      zlib += ThreadSeconds() - middle;
    }
  }
  const double rounds = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours * 1e3 / rounds;
  state.counters["zlib9_ms"] = zlib * 1e3 / rounds;
  state.counters["ours_over_zlib"] = ours / zlib;
  state.SetLabel(std::string(quarvel::FormatName(format)) + (accurate ? ", the games' own" : ", smallest"));
}
BENCHMARK(BM_CompressCorpusAgainstDeflate)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 4, 1), {0, 1}})
    ->ArgNames({"format", "accurate"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
