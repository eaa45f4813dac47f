// Kosinski decoding against zlib's inflate of the same 64 KiB, timed side by side in
// one run so that the ratio holds on a busy machine.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>

#include "decoders/kosinski.h"
#include "mixed_block.h"

namespace {

void BM_KosinskiVersusZlibInflate(benchmark::State& state) {
  const auto stream = quarvel::bench::MixedKosinskiBlock();
  const auto decoded = quarvel::DecodeKosinski(stream, 0);
  if (!decoded) {
    state.SkipWithError(decoded.error().message.c_str());
    return;
  }
  const auto& bytes = decoded->bytes;
  uLongf packedSize = compressBound(bytes.size());
  std::vector<Bytef> packed(packedSize);
  compress2(packed.data(), &packedSize, bytes.data(), bytes.size(), 9);
  std::vector<Bytef> inflated(bytes.size());

  using Clock = std::chrono::steady_clock;
  Clock::duration kosinskiTime{}, zlibTime{};
  for (auto _ : state) {
    const auto start = Clock::now();
    auto block = quarvel::DecodeKosinski(stream, 0);
    benchmark::DoNotOptimize(block->bytes.data());
    const auto middle = Clock::now();
    uLongf size = inflated.size();
    uncompress(inflated.data(), &size, packed.data(), packedSize);
    benchmark::DoNotOptimize(inflated.data());
    const auto end = Clock::now();
    kosinskiTime += middle - start;
    zlibTime += end - middle;
  }
  const double megabytes = static_cast<double>(state.iterations()) * static_cast<double>(bytes.size()) / 1e6;
  const double kosinskiSeconds = std::chrono::duration<double>(kosinskiTime).count();
  const double zlibSeconds = std::chrono::duration<double>(zlibTime).count();
  state.counters["kosinski_MB/s"] = megabytes / kosinskiSeconds;
  state.counters["zlib_MB/s"] = megabytes / zlibSeconds;
  state.counters["kosinski_speed_over_zlib"] = zlibSeconds / kosinskiSeconds;
  state.counters["kosinski_stream"] = static_cast<double>(stream.size());
  state.counters["zlib_stream"] = static_cast<double>(packedSize);
}
BENCHMARK(BM_KosinskiVersusZlibInflate);

}  // namespace
