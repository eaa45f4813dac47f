// Scanning a 4 MiB ROM image for both formats: a quarter each of zeros, random bytes,
// 68000-code-like bytes and uncompressed tiles, with compressed blocks among them.
#include <benchmark/benchmark.h>

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

}  // namespace
