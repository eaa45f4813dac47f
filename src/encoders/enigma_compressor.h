// Enigma compression: the header's N, M, incrementing and literal words chosen from
// the data, then the entries that take the fewest bits.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// A block that decodes to exactly `data`, a list of big-endian words (2 to 65,536
// bytes, an even number), padded to an even length as the games' files are. N is the
// width of the largest tile index, M the flag bits that are set in some word; of a few
// incrementing and literal words tried (the games' own choice among them), the best is
// kept. The entries are an optimal parse over positions, the incrementing word's value
// carried as state (the eight cheapest values at each position, and the one that could
// go on there); where that misses the games' own entries, their block is taken, so that
// none is larger than the games'.
Expected<std::vector<std::uint8_t>, std::string> CompressEnigma(std::span<const std::uint8_t> data);

}  // namespace quarvel
