// Enigma and Kosinski Moduled: compressing a plane map of 64 x 32 words (4 KiB) and 60 KiB
// of tile art, and decoding each again and again (the decoders' best case, their branches
// learnt; BM_DecodeCorpusAgainstInflate measures decoding as a ROM asks it).
#include <benchmark/benchmark.h>

#include "decoders/enigma.h"
#include "decoders/kosinski_moduled.h"
#include "encoders/enigma_compressor.h"
#include "encoders/kosinski_moduled_compressor.h"
#include "scan/test_roms.h"

namespace {

const std::vector<std::uint8_t>& Map() {
  static const auto map = quarvel::testing::PlaneMap(64, 32, 9);
  return map;
}

const std::vector<std::uint8_t>& Art() {
  static const auto art = quarvel::testing::TileArt(60 * 32, 9);
  return art;
}

void BM_EnigmaDecodeOneBlockAgain(benchmark::State& state) {
  const auto block = *quarvel::CompressEnigma(Map());
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::DecodeEnigma(block, 0)->bytes.data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Map().size()));
  state.counters["block_bytes"] = static_cast<double>(block.size());
}
BENCHMARK(BM_EnigmaDecodeOneBlockAgain)->Unit(benchmark::kMicrosecond);

void BM_EnigmaCompressMap(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::CompressEnigma(Map())->data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Map().size()));
}
BENCHMARK(BM_EnigmaCompressMap)->Unit(benchmark::kMillisecond);

void BM_KosinskiModuledDecodeOneBlockAgain(benchmark::State& state) {
  const auto block = *quarvel::CompressKosinskiModuled(Art());
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::DecodeKosinskiModuled(block, 0)->bytes.data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Art().size()));
  state.counters["block_bytes"] = static_cast<double>(block.size());
}
BENCHMARK(BM_KosinskiModuledDecodeOneBlockAgain)->Unit(benchmark::kMicrosecond);

void BM_KosinskiModuledCompress60KiB(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::CompressKosinskiModuled(Art())->data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Art().size()));
}
BENCHMARK(BM_KosinskiModuledCompress60KiB)->Unit(benchmark::kMillisecond);

}  // namespace
