// The preview of a Nemesis block of tile art (1,375 tiles, 44,000 bytes decoded) against
// its decoding alone: the block decoded, then decoded, drawn and written as a PNG file as
// `quarvel-cli preview` does, each timed in the thread's CPU time.
#include <benchmark/benchmark.h>

#include "formats/format_table.h"
#include "preview/tile_image.h"
#include "scan/test_roms.h"
#include "thread_seconds.h"

namespace {

using quarvel::Format;

void BM_PreviewAgainstDecompress(benchmark::State& state) {
  const auto block = *quarvel::CodecOf(Format::Nemesis).compress(quarvel::testing::TileArt(1375, 7));
  const quarvel::PictureLayout layout{"nemesis", 1375, 16, 1, 0, "art.bin@0x0"};
  double decode = 0, preview = 0;
  std::size_t png = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    benchmark::DoNotOptimize(quarvel::DecodeBlock(Format::Nemesis, block, 0)->bytes.data());
    const double middle = ThreadSeconds();
    const auto decoded = quarvel::DecodeBlock(Format::Nemesis, block, 0);
    png = quarvel::EncodePng(*quarvel::RenderTiles(decoded->bytes, quarvel::GreyPalette(), 16, 1), &layout).size();
    preview += ThreadSeconds() - middle;
    decode += middle - start;
  }
  const double rounds = static_cast<double>(state.iterations());
  state.counters["decode_ms"] = decode * 1e3 / rounds;
  state.counters["preview_ms"] = preview * 1e3 / rounds;
  state.counters["preview_over_decode"] = preview / decode;
  state.counters["png_bytes"] = static_cast<double>(png);
}
BENCHMARK(BM_PreviewAgainstDecompress)->Unit(benchmark::kMillisecond);

}  // namespace
