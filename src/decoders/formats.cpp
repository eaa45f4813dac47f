#include "decoders/formats.h"

#include "decoders/kosinski.h"
#include "decoders/nemesis.h"

namespace quarvel {

std::string_view FormatName(Format format) { return format == Format::Kosinski ? "kosinski" : "nemesis"; }

DecodeResult<DecodedBlock> DecodeBlock(Format format, std::span<const std::uint8_t> rom, std::int64_t offset) {
  return format == Format::Kosinski ? DecodeKosinski(rom, offset) : DecodeNemesis(rom, offset);
}

DecodeResult<DecodedBlock> ReadBlock(Format format, const std::filesystem::path& rom, std::int64_t offset) {
  return format == Format::Kosinski ? ReadKosinskiBlock(rom, offset) : ReadNemesisBlock(rom, offset);
}

DecodeResult<Extraction> Decompress(Format format, const std::filesystem::path& source,
                                    const std::filesystem::path& destination, std::int32_t offset,
                                    const ReplaceOptions& options) {
  return ExtractBlock(source, destination, offset, format == Format::Kosinski ? ReadKosinskiBlock : ReadNemesisBlock,
                      options);
}

}  // namespace quarvel
