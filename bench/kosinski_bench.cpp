// Kosinski decoding speed, from memory, on a 64 KiB block of mixed literals and copies.
#include <benchmark/benchmark.h>

#include "decoders/kosinski.h"
#include "mixed_block.h"

namespace {

void BM_KosinskiDecode64KiB(benchmark::State& state) {
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
BENCHMARK(BM_KosinskiDecode64KiB);

}  // namespace
