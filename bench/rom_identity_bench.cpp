// Naming a changed ROM image by the games' catalogues' blocks: the time IdentifyRom takes
// over 4 MiB against every catalogue, for an image laid out as Sonic 3 & Knuckles (a
// block of the listed format at each of its catalogue's offsets, as large as the room up
// to the next one allows, up to 64 KiB decoded) and for images of filler, no game at all.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "formats/format_table.h"
#include "rom/rom_identity.h"
#include "scan/test_roms.h"

namespace {

using quarvel::Format;
using quarvel::testing::Bytes;

// A block of `format` of at most `room` bytes, of as much data as fits, up to 64 KiB
// decoded; empty when not even a tile fits.
Bytes BlockFilling(Format format, std::size_t room, unsigned seed) {
  const auto data = [&](std::size_t size) {
    return format == Format::Enigma ? quarvel::testing::PlaneMap(64, std::max<std::size_t>(size / 128, 1), seed)
                                    : quarvel::testing::TileArt(std::max<std::size_t>(size / 32, 1), seed);
  };
  std::size_t size = std::min<std::size_t>(room * 3, 0xFFE0);
  for (;;) {
    auto packed = *quarvel::CodecOf(format).compress(data(size));
    if (packed.size() <= room) return packed;
    if (size <= 128) return {};
    size = std::max<std::size_t>(size * room / packed.size() * 9 / 10, 64);
  }
}

// 4 MiB of 68000-code-like bytes with a block at each offset that the Sonic 3 &
// Knuckles catalogue lists; `decoded`: what they decode to.
Bytes Sonic3KLike(std::size_t& decoded) {
  Bytes rom = quarvel::testing::Filled(quarvel::testing::Filler::Code68000, 4 << 20, 7);
  const auto known = quarvel::KnownRoms();
  const auto s3k = std::find_if(known.begin(), known.end(), [](const auto& r) { return r.baseName == "Sonic3K"; });
  const auto blocks = s3k->blocks;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::size_t end = i + 1 < blocks.size() ? blocks[i + 1].offset : rom.size();
    const Bytes block = BlockFilling(blocks[i].format, end - blocks[i].offset, static_cast<unsigned>(i));
    std::copy(block.begin(), block.end(), rom.begin() + blocks[i].offset);
    if (const auto back = quarvel::DecodeBlock(blocks[i].format, block, 0)) decoded += back->bytes.size();
  }
  return rom;
}

void Identify(benchmark::State& state, const Bytes& rom) {
  quarvel::RomIdentity identity;
  for (auto _ : state) benchmark::DoNotOptimize(identity = quarvel::IdentifyRom(rom));
  state.counters["blocks_in_place"] = static_cast<double>(identity.blocksInPlace);
  state.SetLabel(identity.rom ? std::string(identity.rom->baseName) : "none");
}

void BM_IdentifyChangedRom4MiB(benchmark::State& state) {
  std::size_t decoded = 0;
  Identify(state, Sonic3KLike(decoded));
  state.counters["decoded_MiB"] = static_cast<double>(decoded) / (1 << 20);
}
BENCHMARK(BM_IdentifyChangedRom4MiB)->Unit(benchmark::kMillisecond);

// 4 MiB of one filler: zeros are the slowest for a Nemesis decoder, which reads a code
// table of zeros to its end.
void BM_IdentifyUnknownRom4MiB(benchmark::State& state) {
  const auto filler = quarvel::testing::kFillers[state.range(0)];
  Identify(state, quarvel::testing::Filled(filler, 4 << 20, 8));
  state.SetLabel(quarvel::testing::FillerName(filler));
}
BENCHMARK(BM_IdentifyUnknownRom4MiB)->DenseRange(0, 5)->ArgName("filler")->Unit(benchmark::kMillisecond);

}  // namespace
