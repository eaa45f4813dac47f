// Nemesis decoding speed, from memory, on a 1,000-tile block.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "decoders/nemesis.h"

namespace {

class BitWriter {
 public:
  void Put(unsigned value, unsigned count) {
    while (count-- > 0) {
      if (used_ == 8) {
        bytes_.push_back(0);
        used_ = 0;
      }
      if (value >> count & 1u) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
      ++used_;
    }
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
  unsigned used_ = 8;
};

// Six 3-bit codes (000-101), fifteen 6-bit codes (110000-111110) for random
// (pixel, run) pairs, and one code in twenty an inline code.
std::vector<std::uint8_t> ThousandTileBlock() {
  constexpr unsigned kTiles = 1000;
  std::mt19937 random(99);
  auto pick = [&](unsigned low, unsigned high) { return std::uniform_int_distribution<unsigned>(low, high)(random); };

  struct Code {
    unsigned bits, length, pixel, run;
  };
  std::vector<Code> codes;
  for (unsigned c = 0; c < 6; ++c) codes.push_back({c, 3, pick(0, 15), pick(0, 3)});
  for (unsigned c = 0b110000; c <= 0b111110; ++c) codes.push_back({c, 6, pick(0, 15), pick(0, 7)});

  std::vector<std::uint8_t> block{kTiles >> 8, kTiles & 0xFF};
  for (const auto& code : codes) {
    block.push_back(static_cast<std::uint8_t>(0x80 | code.pixel));
    block.push_back(static_cast<std::uint8_t>(code.run << 4 | code.length));
    block.push_back(static_cast<std::uint8_t>(code.bits));
  }
  block.push_back(0xFF);

  BitWriter stream;
  for (unsigned pixels = 0; pixels < kTiles * 64;) {
    const unsigned kind = pick(0, 19);
    if (kind == 0) {
      const unsigned run = pick(0, 7);
      stream.Put(0b111111'000'0000 | run << 4 | pick(0, 15), 13);
      pixels += run + 1;
    } else {
      const Code& code = codes[kind < 14 ? pick(0, 5) : pick(6, static_cast<unsigned>(codes.size() - 1))];
      stream.Put(code.bits, code.length);
      pixels += code.run + 1;
    }
  }
  const auto bits = stream.Take();
  block.insert(block.end(), bits.begin(), bits.end());
  return block;
}

void BM_NemesisDecode1000Tiles(benchmark::State& state) {
  const auto block = ThousandTileBlock();
  std::size_t decoded = 0;
  for (auto _ : state) {
    auto result = quarvel::DecodeNemesis(block, 0);
    if (!result) state.SkipWithError(result.error().message.c_str());
    decoded = result->bytes.size();
    benchmark::DoNotOptimize(result->bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * decoded));
  state.counters["block_bytes"] = static_cast<double>(block.size());
}
BENCHMARK(BM_NemesisDecode1000Tiles);

}  // namespace
