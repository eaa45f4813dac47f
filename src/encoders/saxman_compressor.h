// Saxman compression: songs, a little-endian count of stream bytes and then the stream.
// A stream alone (the sound driver's) is the song without its first two bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// The smallest song found for `data` (an optimal parse over the commands the games'
// compressor writes, never larger than its song). Empty data makes a song of count 0.
// Fails when the stream would pass 65,535 bytes or the data 65,536.
Expected<std::vector<std::uint8_t>, std::string> CompressSaxman(std::span<const std::uint8_t> data);

// The song the games' own compressor writes for `data`, byte for byte (with its zero
// fills cut to the zeros the data holds, so that it always decodes back).
Expected<std::vector<std::uint8_t>, std::string> CompressSaxmanAccurate(std::span<const std::uint8_t> data);

}  // namespace quarvel
