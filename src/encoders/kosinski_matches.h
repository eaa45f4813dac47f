// Where each position of some data repeats earlier bytes, as a Kosinski copy can use
// them: the longest match within 256 bytes back (inline copies) and within 8,192
// bytes back (full copies), up to 256 bytes long.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quarvel {

struct KosinskiMatch {
  std::uint16_t nearLength = 0;    // 0, or 2 to 256: the longest match at distance 1 to 256
  std::uint16_t nearDistance = 0;
  std::uint16_t farLength = 0;     // the longest at distance 1 to 8,192 (0 when shorter than 3
                                   // and beyond 256 bytes: too short for a full copy)
  std::uint16_t farDistance = 0;
};

inline constexpr unsigned kKosinskiMaxCopy = 256;
inline constexpr unsigned kKosinskiNearDistance = 256;
inline constexpr unsigned kKosinskiFarDistance = 8192;

// One entry per byte of `data`. A match may run on into the bytes it produces, as a
// copy does. Of equally long matches the nearest is given.
std::vector<KosinskiMatch> FindKosinskiMatches(std::span<const std::uint8_t> data);

}  // namespace quarvel
