// Scanning ROM images: the time of a scan of 4 MiB, how many blocks it finds and how
// many false candidates it takes for blocks, over images laid out as games are and over
// each kind of filler, several seeds each; and the cost of the games'-output check.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>

#include "formats/format_table.h"
#include "scan/block_scan.h"
#include "scan/games_output.h"
#include "scan/test_roms.h"

namespace {

using quarvel::testing::Filler;
using quarvel::testing::PlacedBlock;

std::vector<std::uint8_t> FourMiBRom() {
  std::vector<std::uint8_t> rom;
  unsigned seed = 1;
  for (const Filler filler : {Filler::Zeros, Filler::Random, Filler::Code68000, Filler::RawTiles}) {
    std::vector<PlacedBlock> placed;
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

// 4 MiB of each kind of filler with blocks among it (0 to 6), and the game-like image
// that bench/scan-versus-gzip scans (7), on two threads.
void BM_ScanFiller4MiB(benchmark::State& state) {
  const bool gameLike = state.range(0) == static_cast<std::int64_t>(std::size(quarvel::testing::kFillers));
  const auto filler = static_cast<Filler>(state.range(0));
  std::vector<PlacedBlock> placed;
  const auto rom = gameLike ? quarvel::testing::RealisticRom(4 << 20, quarvel::testing::kGameLikeSeed, placed)
                            : quarvel::testing::RomWithBlocks(filler, 4 << 20, 42, placed);
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::ScanRom(rom, {quarvel::FormatSet::All(), 2}));
  state.SetLabel(gameLike ? "game-like" : quarvel::testing::FillerName(filler));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
}
BENCHMARK(BM_ScanFiller4MiB)
    ->DenseRange(0, std::size(quarvel::testing::kFillers))
    ->ArgName("filler")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Over 8 seeds of 4 MiB: each kind of filler with blocks of both compressors among it
// (0 to 6), and images laid out as games are (7). The blocks found whole at the default
// threshold, those missed by format, and the false candidates at it a MiB.
void BM_ScanCalibration(benchmark::State& state) {
  constexpr unsigned kSeeds = 8;
  constexpr std::size_t kSize = 4 << 20;
  const bool gameLike = state.range(0) == static_cast<std::int64_t>(std::size(quarvel::testing::kFillers));
  std::size_t blocks = 0, falseOnes = 0;
  std::map<quarvel::Format, std::size_t> missed;
  for (auto _ : state) {
    blocks = falseOnes = 0;
    missed.clear();
    for (unsigned seed = 1; seed <= kSeeds; ++seed) {
      std::vector<PlacedBlock> placed;
      const auto rom = gameLike ? quarvel::testing::RealisticRom(kSize, seed, placed)
                                : quarvel::testing::RomWithBlocks(static_cast<Filler>(state.range(0)), kSize, seed,
                                                                  placed, &placed);
      const auto found = quarvel::ScanRom(rom, {quarvel::FormatSet::All(), 2});
      std::map<std::uint64_t, quarvel::ScanCandidate> kept;
      for (const auto& c : *found)
        if (c.confidence >= quarvel::kLikelyBlock) kept.emplace(c.offset, c);
      for (const auto& block : placed) {
        const auto hit = kept.find(block.offset);
        if (hit == kept.end() || hit->second.compressedSize != block.compressedSize) ++missed[block.format];
        if (hit != kept.end()) kept.erase(hit);
      }
      blocks += placed.size();
      falseOnes += kept.size();
    }
  }
  state.SetLabel(gameLike ? "game-like" : quarvel::testing::FillerName(static_cast<Filler>(state.range(0))));
  state.counters["blocks"] = static_cast<double>(blocks);
  for (const auto& info : quarvel::Formats())
    state.counters["missed_" + std::string(info.name)] = static_cast<double>(missed[info.format]);
  state.counters["false_per_MiB"] = static_cast<double>(falseOnes) / (kSeeds * kSize / (1 << 20));
}
BENCHMARK(BM_ScanCalibration)
    ->DenseRange(0, std::size(quarvel::testing::kFillers))
    ->ArgName("filler")
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The games'-output check of a format per candidate: on the games' own blocks (a whole
// re-encode), and on blocks of the smallest compressor (where it stops at the first byte
// that differs).
void BM_GamesOutputCheck(benchmark::State& state) {
  const auto format = quarvel::Formats()[static_cast<std::size_t>(state.range(0))].format;
  const bool gamesOwn = state.range(1) != 0;
  std::vector<std::uint8_t> rom;
  std::vector<std::size_t> offsets;
  for (unsigned pick = 0; pick < quarvel::testing::kBlockPool; ++pick) {
    const auto& block = quarvel::testing::PooledBlock(pick);
    if (block.format != format) continue;
    const auto data = quarvel::DecodeBlock(format, block.packed, 0)->bytes;
    const auto packed = gamesOwn ? *quarvel::CodecOf(format).compressAccurate(data, {})
                                 : *quarvel::CodecOf(format).compress(data);
    offsets.push_back(rom.size());
    rom.insert(rom.end(), packed.begin(), packed.end());
    rom.resize(rom.size() + 16 + rom.size() % 2);
  }
  using Check = bool (*)(std::span<const std::uint8_t>, std::size_t);
  const std::map<quarvel::Format, Check> checks = {{quarvel::Format::Kosinski, quarvel::IsGamesKosinski},
                                                   {quarvel::Format::Nemesis, quarvel::IsGamesNemesis},
                                                   {quarvel::Format::Enigma, quarvel::IsGamesEnigma},
                                                   {quarvel::Format::KosinskiModuled, quarvel::IsGamesKosinskiModuled}};
  const Check check = checks.at(format);
  std::size_t told = 0;
  for (auto _ : state) {
    told = 0;
    for (const auto offset : offsets) told += check(rom, offset);
  }
  state.SetLabel(std::string(quarvel::FormatName(format)) + (gamesOwn ? ", the games' own" : ", smallest"));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * offsets.size()));
  state.counters["games_own"] = static_cast<double>(told) / static_cast<double>(offsets.size());
}
BENCHMARK(BM_GamesOutputCheck)->ArgsProduct({{0, 1, 2, 3}, {1, 0}})->ArgNames({"format", "games"})->Unit(benchmark::kMicrosecond);

}  // namespace
