// Kosinski decoding of one 64 KiB block of mixed literals and copies, again and again:
// the decoder's best case, its branches learnt (BM_DecodeCorpusAgainstInflate measures
// decoding as a ROM asks it).
#include <benchmark/benchmark.h>

#include "decoders/kosinski.h"
#include "mixed_block.h"

namespace {

void BM_KosinskiDecodeOneBlockAgain(benchmark::State& state) {
  const auto stream = quarvel::bench::MixedKosinskiBlock();
  std::size_t decoded = 0;
  for (auto _ : state) {
    auto block = quarvel::DecodeKosinski(stream, 0);
    if (!block) state.SkipWithError(block.error().message.c_str());
    decoded = block->bytes.size();
    benchmark::DoNotOptimize(block->bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * decoded));
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_KosinskiDecodeOneBlockAgain);

}  // namespace
