// Tile art of the shapes games hold, for measuring the Nemesis compressor: small blocks
// of a few tiles in few colours, large tile sets in many colours, fonts, gradients,
// mostly empty tiles, and rows repeated.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quarvel::testing {

struct TileSample {
  std::string name;
  std::vector<std::uint8_t> tiles;
};

inline std::vector<TileSample> NemesisCorpus() {
  std::vector<TileSample> corpus;
  auto art = [&](std::string name, unsigned tiles, auto pixel) {
    std::vector<std::uint8_t> bytes;
    for (unsigned t = 0; t < tiles; ++t)
      for (unsigned y = 0; y < 8; ++y)
        for (unsigned x = 0; x < 8; x += 2)
          bytes.push_back(static_cast<std::uint8_t>(pixel(t, x, y) << 4 | pixel(t, x + 1, y)));
    corpus.push_back({std::move(name), std::move(bytes)});
  };
  std::mt19937 random(16);
  for (unsigned tiles = 1; tiles <= 10; ++tiles) {
    const unsigned a = random() % 16, b = random() % 16, c = random() % 16;
    art("small, " + std::to_string(tiles) + " tiles in three colours", tiles, [=](unsigned t, unsigned x, unsigned y) {
      return (x + t) % 5 == 0 ? c : (y * 3 + x + t) % 7 < 3 ? a : b;
    });
  }
  art("two tiles of two rows repeated", 2, [](unsigned, unsigned x, unsigned y) { return y % 2 == 0 ? 0u : x < 4 ? 0u : 5u; });
  art("one tile of a ring", 1, [](unsigned, unsigned x, unsigned y) {
    const int dx = 2 * static_cast<int>(x) - 7, dy = 2 * static_cast<int>(y) - 7, r = dx * dx + dy * dy;
    return r < 20 ? 0u : r < 45 ? 6u : r < 60 ? 14u : 0u;
  });
  std::vector<std::uint32_t> glyphs(40);
  for (auto& glyph : glyphs) glyph = static_cast<std::uint32_t>(random());
  art("font, 40 glyphs in two colours", 40, [&](unsigned t, unsigned x, unsigned y) {
    return y == 0 || y == 7 || x == 0 ? 0u : (glyphs[t] >> ((y * 5 + x) % 32) & 1) != 0 ? 1u : 0u;
  });
  art("font, 96 glyphs with a shadow", 96, [&](unsigned t, unsigned x, unsigned y) {
    const auto on = [&](unsigned gx, unsigned gy) { return gx < 6 && gy < 6 && (glyphs[t % 40] >> (gy * 5 + gx) & 1) != 0; };
    return on(x, y) ? 15u : x > 0 && y > 0 && on(x - 1, y - 1) ? 2u : 0u;
  });
  art("gradient, 32 tiles", 32, [](unsigned t, unsigned x, unsigned y) { return (y + t / 4 + (x + y) % 2) % 16; });
  art("dithered sky, 64 tiles", 64, [](unsigned t, unsigned x, unsigned y) { return 8u + ((x + y + t) % 3 == 0 ? 1u : 0u); });
  art("mostly empty, 24 tiles", 24, [&](unsigned t, unsigned x, unsigned y) { return t % 6 == 0 && x == y ? 3u : 0u; });
  std::vector<unsigned> noise(64 * 300);
  for (auto& n : noise) n = random() % 100;
  art("level art, 300 tiles in 15 colours", 300, [&](unsigned t, unsigned x, unsigned y) {
    const unsigned base = t % 5 * 3 + 1;
    return noise[t * 64 + y * 8 + x] < 70 ? base : noise[t * 64 + y * 8 + x] < 90 ? base + 1 : (base + 2) % 16;
  });
  art("sprite frames, 120 tiles", 120, [&](unsigned t, unsigned x, unsigned y) {
    const int dx = static_cast<int>(x) - 4 + static_cast<int>(t % 3), dy = static_cast<int>(y) - 4;
    return dx * dx + dy * dy < 10 ? (noise[t * 64 + y * 8 + x] < 50 ? 9u : 10u) : dx * dx + dy * dy < 16 ? 1u : 0u;
  });
  art("noisy, 16 tiles in 16 colours", 16, [&](unsigned t, unsigned x, unsigned y) { return noise[t * 64 + y * 8 + x] % 16; });
  return corpus;
}

}  // namespace quarvel::testing
