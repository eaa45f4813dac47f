// Scanning a 4 MiB ROM image for both formats: a quarter each of zeros, random bytes,
// 68000-code-like bytes and uncompressed tiles, with compressed blocks among them.
#include <benchmark/benchmark.h>

#include <algorithm>

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

// A MiB of each kind of filler with five blocks in it, on one thread: the time, and the
// candidates that are not one of the blocks.
void BM_ScanFiller1MiB(benchmark::State& state) {
  const auto filler = static_cast<quarvel::testing::Filler>(state.range(0));
  std::vector<quarvel::testing::PlacedBlock> placed;
  const auto rom = quarvel::testing::RomWithBlocks(filler, 1 << 20, 42, placed);
  std::size_t falseOnes = 0;
  for (auto _ : state) {
    const auto found = quarvel::ScanRom(rom, {quarvel::FormatSet::All(), 1});
    falseOnes = 0;
    for (const auto& c : *found)
      falseOnes += std::none_of(placed.begin(), placed.end(), [&](const auto& b) { return b.offset == c.offset; });
  }
  state.SetLabel(quarvel::testing::FillerName(filler));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
  state.counters["false_candidates"] = static_cast<double>(falseOnes);
}
BENCHMARK(BM_ScanFiller1MiB)->DenseRange(0, 3)->ArgName("filler")->Unit(benchmark::kMillisecond);

}  // namespace
