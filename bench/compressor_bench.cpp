// Compression speed: Kosinski's optimal parse over 64 KiB of several kinds, and
// Nemesis over 1,000 tiles.
#include <benchmark/benchmark.h>

#include <random>

#include "decoders/kosinski.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/kosinski_matches.h"
#include "encoders/nemesis_compressor.h"
#include "encoders/kosinski_samples.h"
#include "encoders/nemesis_corpus.h"
#include "encoders/previous_nemesis_compressor.h"
#include "mixed_block.h"

namespace {

std::vector<std::uint8_t> Data(int kind) {
  std::mt19937 random(17);
  std::vector<std::uint8_t> data(quarvel::kKosinskiCapacity);
  switch (kind) {
    case 0: return quarvel::DecodeKosinski(quarvel::bench::MixedKosinskiBlock(), 0)->bytes;
    case 1: for (auto& b : data) b = static_cast<std::uint8_t>(random()); break;
    case 2: break;  // zeros
    case 3: for (auto& b : data) b = static_cast<std::uint8_t>(random() % 4); break;
  }
  return data;
}

void BM_KosinskiCompress64KiB(benchmark::State& state) {
  const auto data = Data(static_cast<int>(state.range(0)));
  std::size_t size = 0;
  for (auto _ : state) {
    auto stream = quarvel::CompressKosinski(data);
    size = stream->size();
    benchmark::DoNotOptimize(stream->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.counters["stream_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_KosinskiCompress64KiB)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->ArgName("mixed|random|zeros|four_values")->Unit(benchmark::kMillisecond);

void BM_NemesisCompress1000Tiles(benchmark::State& state) {
  const auto tiles = quarvel::bench::ThousandTiles();
  for (auto _ : state) {
    auto block = quarvel::CompressNemesis(tiles);
    benchmark::DoNotOptimize(block->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tiles.size()));
}
BENCHMARK(BM_NemesisCompress1000Tiles)->Unit(benchmark::kMillisecond);

// Each input of the tile corpus against the compressor as it was before it weighed the
// table's own bytes, and the corpus in all (the last row).
void BM_NemesisCorpusAgainstPrevious(benchmark::State& state) {
  const auto corpus = quarvel::testing::NemesisCorpus();
  const auto index = static_cast<std::size_t>(state.range(0));
  std::size_t now = 0, before = 0, bytes = 0;
  for (auto _ : state) {
    now = before = bytes = 0;
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      if (index != corpus.size() && i != index) continue;
      now += quarvel::CompressNemesis(corpus[i].tiles)->size();
      before += quarvel::previous::CompressNemesis(corpus[i].tiles).size();
      bytes += corpus[i].tiles.size();
    }
  }
  state.SetLabel(index == corpus.size() ? "the whole corpus" : corpus[index].name);
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["before"] = static_cast<double>(before);
  state.counters["now"] = static_cast<double>(now);
}
BENCHMARK(BM_NemesisCorpusAgainstPrevious)
    ->DenseRange(0, static_cast<int>(quarvel::testing::NemesisCorpus().size()))
    ->ArgName("input")
    ->Unit(benchmark::kMillisecond);

// The optimal parse against the greedy one on samples of many shapes: the stream sizes.
void BM_KosinskiOptimalAgainstGreedy(benchmark::State& state) {
  const auto sample = quarvel::testing::Samples()[static_cast<std::size_t>(state.range(0))];
  std::size_t optimal = 0;
  for (auto _ : state) optimal = quarvel::CompressKosinski(sample.data)->size();
  state.SetLabel(sample.name);
  state.counters["bytes"] = static_cast<double>(sample.data.size());
  state.counters["optimal"] = static_cast<double>(optimal);
  state.counters["greedy"] = static_cast<double>(quarvel::testing::CompressGreedy(sample.data).size());
}
BENCHMARK(BM_KosinskiOptimalAgainstGreedy)
    ->DenseRange(0, static_cast<int>(quarvel::testing::Samples().size()) - 1)
    ->ArgName("sample")
    ->Unit(benchmark::kMillisecond);

}  // namespace

namespace {
void BM_KosinskiMatches64KiB(benchmark::State& state) {
  const auto data = Data(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::FindKosinskiMatches(data).data());
}
BENCHMARK(BM_KosinskiMatches64KiB)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
}  // namespace
