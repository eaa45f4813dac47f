// The compression formats, by value: one entry point per operation for callers that
// let the user choose the format.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "decoders/extraction.h"

namespace quarvel {

enum class Format { Kosinski, Nemesis };

// "kosinski" or "nemesis".
std::string_view FormatName(Format format);

DecodeResult<DecodedBlock> DecodeBlock(Format format, std::span<const std::uint8_t> rom, std::int64_t offset);
DecodeResult<DecodedBlock> ReadBlock(Format format, const std::filesystem::path& rom, std::int64_t offset);
DecodeResult<Extraction> Decompress(Format format, const std::filesystem::path& source,
                                    const std::filesystem::path& destination, std::int32_t offset,
                                    const ReplaceOptions& options = {});

}  // namespace quarvel
