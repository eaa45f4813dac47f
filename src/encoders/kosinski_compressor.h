// Kosinski compression with an optimal parse: of all the ways to write the data as
// literals, inline copies and full copies, the one with the shortest stream.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// A Kosinski stream that decodes to exactly `data` (1 to 65,536 bytes), descriptors
// placed where the decoder reads them. Fails for empty data, which no stream can
// stand for, and for more than 65,536 bytes.
Expected<std::vector<std::uint8_t>, std::string> CompressKosinski(std::span<const std::uint8_t> data);

}  // namespace quarvel
