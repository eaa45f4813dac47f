// Nemesis decoding of one 1,000-tile block, again and again: the decoder's best case,
// its branches learnt (BM_DecodeCorpusAgainstInflate measures decoding as a ROM asks it).
#include <benchmark/benchmark.h>

#include "decoders/nemesis.h"
#include "encoders/nemesis_compressor.h"
#include "mixed_block.h"

namespace {

void BM_NemesisDecodeOneBlockAgain(benchmark::State& state) {
  const auto block = *quarvel::CompressNemesis(quarvel::bench::ThousandTiles());
  std::size_t decoded = 0;
  for (auto _ : state) {
    auto result = quarvel::DecodeNemesis(block, 0);
    if (!result) state.SkipWithError(result.error().message.c_str());
    decoded = result->bytes.size();
    benchmark::DoNotOptimize(result->bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * decoded));
  state.counters["block_bytes"] = static_cast<double>(block.size());
}
BENCHMARK(BM_NemesisDecodeOneBlockAgain);

}  // namespace
