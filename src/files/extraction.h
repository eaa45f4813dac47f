// Blocks read from ROM image files, and the file side of an extraction: the drivers
// that decode a block of a ROM image into a file of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/format.h"
#include "decoders/decoded_block.h"
#include "files/files.h"
#include "files/rom_file.h"

namespace quarvel {

// What a driver did, for the caller to report.
struct Extraction {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
  std::vector<std::string> warnings;  // of the decoded block
};

// Decodes the block at `offset` of `rom` in `format` (or with `decode`, a decoder given
// more than the block: a Saxman stream's size), reading only as far as it goes.
using SourceDecoder = std::function<DecodeResult<DecodedBlock>(ByteSource& source)>;
DecodeResult<DecodedBlock> ReadBlock(Format format, RomFile& rom, std::int64_t offset);
DecodeResult<DecodedBlock> ReadBlock(const SourceDecoder& decode, RomFile& rom, std::int64_t offset);
DecodeResult<DecodedBlock> ReadBlock(Format format, const std::filesystem::path& rom, std::int64_t offset);

// Reads the block at an offset of a ROM image file.
using BlockReader = std::function<DecodeResult<DecodedBlock>(const std::filesystem::path& rom, std::int64_t offset)>;

// Decodes the block at `offset` of `source` with `read` and makes `destination` hold
// exactly its bytes. Refuses a destination that is the source under any name or link,
// or that `options` protects or refuses (see FileReplacement); on any failure the
// destination is left as it was. The source is only read.
DecodeResult<Extraction> ExtractBlock(const std::filesystem::path& source, const std::filesystem::path& destination,
                                      std::int32_t offset, const BlockReader& read, const ReplaceOptions& options = {});

// ExtractBlock in `format`.
DecodeResult<Extraction> Decompress(Format format, const std::filesystem::path& source,
                                    const std::filesystem::path& destination, std::int32_t offset,
                                    const ReplaceOptions& options = {});

// The drivers of the window's two formats: Decompress in Kosinski and in Nemesis.
DecodeResult<Extraction> KosinskiDecompress(const std::filesystem::path& source,
                                            const std::filesystem::path& destination, std::int32_t offset);
DecodeResult<Extraction> NemesisDecompress(const std::filesystem::path& source,
                                           const std::filesystem::path& destination, std::int32_t offset);

}  // namespace quarvel
