// Kosinski Moduled compression: the data cut into 0x1000-byte pieces, each compressed
// by the Kosinski compressor, zero bytes between them to a multiple of 16 counted from
// the first module, and the size first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// A block that decodes to exactly `data`: 1 to 65,535 bytes.
Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiModuled(std::span<const std::uint8_t> data);

// The block the games' compressor writes: the pieces each by the games' Kosinski
// compressor (see CompressKosinskiAccurate), every module padded to 16 bytes, the last
// one too. The header says `headerSize` when given (three of the games' files say less
// than their last module holds), else the data's size; fails when that size needs more
// or fewer 4096-byte modules than the data fills, as the block would then not decode.
Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiModuledAccurate(
    std::span<const std::uint8_t> data, std::optional<std::uint16_t> headerSize = std::nullopt);

}  // namespace quarvel
