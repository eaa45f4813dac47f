// Saxman compression: songs, a little-endian count of stream bytes and then the stream.
// A stream alone (the sound driver's) is the song without its first two bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// The smallest song for `data`: the fewest bytes over every parse into literals, copies
// of 3 to 18 bytes from up to 4,095 back and zero fills (copies from before the start,
// while the decoder still reaches there), descriptor bytes counted; so never larger than
// the games' own song. Empty data makes a song of count 0. Fails when the stream would
// pass 65,535 bytes or the data 65,536.
Expected<std::vector<std::uint8_t>, std::string> CompressSaxman(std::span<const std::uint8_t> data);

// The song the games' own compressor writes for `data`, byte for byte: a greedy parse
// over their tree of candidate positions (18 positions before the start, then each one
// the parse passes, for 4,078 bytes), keyed by 18 bytes that may run past the end, the
// match the longest that inserting the position meets first; except that a copy from
// before the start, which decodes as zeros, is cut to the zeros the data holds, so that
// the song always decodes back. Fails as CompressSaxman does.
Expected<std::vector<std::uint8_t>, std::string> CompressSaxmanAccurate(std::span<const std::uint8_t> data);

}  // namespace quarvel
