// The benchmarks' inputs: a 64 KiB Kosinski block of mixed literals and copies,
// and 1,000 tiles of mixed noise and flat colour.
#pragma once

#include <algorithm>
#include <random>
#include <vector>

#include "decoders/kosinski.h"
#include "encoders/kosinski_writer.h"

namespace quarvel::bench {

// Text-like data: runs of fresh bytes between copies of earlier stretches, so that
// all three command kinds occur in realistic proportions.
inline std::vector<std::uint8_t> MixedKosinskiBlock() {
  std::mt19937 random(1234);
  auto pick = [&](unsigned low, unsigned high) { return std::uniform_int_distribution<unsigned>(low, high)(random); };
  quarvel::KosinskiWriter writer;
  std::size_t size = 0;
  while (size < quarvel::kKosinskiCapacity) {
    const std::size_t room = quarvel::kKosinskiCapacity - size;
    const unsigned kind = size < 16 ? 0 : pick(0, 9);
    if (kind < 4 || room < 10) {
      writer.Literal(static_cast<std::uint8_t>(pick(0, 255)));
      size += 1;
    } else if (kind < 7) {
      const unsigned count = pick(2, 5);
      writer.InlineCopy(pick(1, static_cast<unsigned>(std::min<std::size_t>(256, size))), count);
      size += count;
    } else {
      const unsigned count = pick(3, static_cast<unsigned>(std::min<std::size_t>(kind == 9 ? 40 : 9, room)));
      writer.FullCopy(pick(1, static_cast<unsigned>(std::min<std::size_t>(8192, size))), count);
      size += count;
    }
  }
  return writer.Finish();
}

// Every third pair of rows noise, the rest flat colour changing every three rows.
inline std::vector<std::uint8_t> ThousandTiles() {
  std::mt19937 random(5);
  std::vector<std::uint8_t> tiles(1000 * 32);
  for (std::size_t i = 0; i < tiles.size(); ++i)
    tiles[i] = static_cast<std::uint8_t>(i / 64 % 3 == 0 ? random() % 256 : 0x11 * (i / 96 % 16));
  return tiles;
}

}  // namespace quarvel::bench
