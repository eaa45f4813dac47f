// Scanning 4 MiB ROM images for both formats: one laid out as games are, one of a quarter
// each of zeros, random bytes, 68000-code-like bytes and uncompressed tiles with blocks
// among them, and one of each kind of filler.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "formats/format_table.h"
#include "scan/block_scan.h"
#include "scan/test_roms.h"

namespace {

std::vector<std::uint8_t> FourMiBRom() {
  using quarvel::testing::Filler;
  std::vector<std::uint8_t> rom;
  unsigned seed = 1;
  for (const Filler filler : {Filler::Zeros, Filler::Random, Filler::Code68000, Filler::RawTiles}) {
    std::vector<quarvel::testing::PlacedBlock> placed;
    const auto part = quarvel::testing::RomWithBlocks(filler, 1 << 20, seed++, placed);
    rom.insert(rom.end(), part.begin(), part.end());
  }
  return rom;
}

void BM_Scan4MiB(benchmark::State& state) {
  const auto rom = FourMiBRom();
  const auto threads = static_cast<unsigned>(state.range(0));
  std::size_t found = 0;
  for (auto _ : state) found = quarvel::ScanRom(rom, {quarvel::FormatSet::All(), threads})->size();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
  state.counters["candidates"] = static_cast<double>(found);
}
BENCHMARK(BM_Scan4MiB)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

// Recall and false candidates a MiB at the default threshold, on two threads.
void BM_ScanGameLikeRom4MiB(benchmark::State& state) {
  std::vector<quarvel::testing::PlacedBlock> placed;
  const auto rom = quarvel::testing::RealisticRom(4 << 20, static_cast<unsigned>(state.range(0)), placed);
  std::size_t found = 0, falseOnes = 0;
  for (auto _ : state) {
    const auto candidates = quarvel::ScanRom(rom, {quarvel::FormatSet::All(), 2});
    found = falseOnes = 0;
    for (const auto& c : *candidates) {
      if (c.confidence < 0.5) continue;
      const bool real = std::any_of(placed.begin(), placed.end(), [&](const auto& b) { return b.offset == c.offset; });
      (real ? found : falseOnes) += 1;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
  state.counters["recall"] = static_cast<double>(found) / static_cast<double>(placed.size());
  state.counters["false_per_MiB"] = static_cast<double>(falseOnes) / 4;
}
BENCHMARK(BM_ScanGameLikeRom4MiB)->DenseRange(1, 6)->ArgName("seed")->Unit(benchmark::kMillisecond)->UseRealTime();

// 4 MiB of each kind of filler with five blocks in its first MiB, on two threads: the
// time, and the candidates at the default threshold that are not one of the blocks.
void BM_ScanFiller4MiB(benchmark::State& state) {
  const auto filler = static_cast<quarvel::testing::Filler>(state.range(0));
  std::vector<quarvel::testing::PlacedBlock> placed;
  auto rom = quarvel::testing::RomWithBlocks(filler, 1 << 20, 42, placed);
  const auto rest = quarvel::testing::Filled(filler, 3 << 20, 43);
  rom.insert(rom.end(), rest.begin(), rest.end());
  std::size_t falseOnes = 0;
  for (auto _ : state) {
    const auto found = quarvel::ScanRom(rom, {quarvel::FormatSet::All(), 2});
    falseOnes = 0;
    for (const auto& c : *found)
      falseOnes += c.confidence >= 0.5 &&
                   std::none_of(placed.begin(), placed.end(), [&](const auto& b) { return b.offset == c.offset; });
  }
  state.SetLabel(quarvel::testing::FillerName(filler));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
  state.counters["false_candidates"] = static_cast<double>(falseOnes);
}
BENCHMARK(BM_ScanFiller4MiB)
    ->DenseRange(0, std::size(quarvel::testing::kFillers) - 1)
    ->ArgName("filler")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
