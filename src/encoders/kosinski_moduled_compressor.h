// Kosinski Moduled compression: the data cut into 0x1000-byte pieces, each compressed
// by the Kosinski compressor, zero bytes between them to a multiple of 16 counted from
// the first module, and the size first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// A block that decodes to exactly `data`: 1 to 65,535 bytes.
Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiModuled(std::span<const std::uint8_t> data);

}  // namespace quarvel
