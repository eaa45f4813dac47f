// Extracting every block that a catalogue lists, each into a file of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/expected.h"
#include "files/extraction.h"
#include "common/format.h"
#include "decoders/decoded_block.h"

namespace quarvel {

// "0001A2B0_kosinski_Green_Hill_art.dat": the offset digits, the format and the
// description, with every character that some file system refuses, and blanks, made
// "_", and the description cut to 60 characters.
std::string ExtractFileName(std::string_view offsetDigits, Format format, std::string_view description);

struct EntryExtraction {
  std::size_t number = 0;  // counted from 1
  std::string entry;
  std::filesystem::path file;                      // empty when the entry names no block
  std::optional<DecodeResult<Extraction>> result;  // nothing when the entry names no block
};

// Decodes the block of a format at an offset of a ROM image, wherever the image is.
using RomReader = std::function<DecodeResult<DecodedBlock>(Format format, std::int64_t offset)>;

// Decodes the block of each entry from `rom` into its own file in `folder` (two
// entries that would share a name get "_2", "_3"...), calling `report` after each.
// An entry without a hex offset and a format letter names no block and fails on its
// own, and so does one whose file `options` refuses (see FileReplacement); the others
// go on.
void ExtractCatalogue(const RomReader& rom, const std::vector<std::string>& entries, const std::filesystem::path& folder,
                      const ReplaceOptions& options, const std::function<void(const EntryExtraction&)>& report);

}  // namespace quarvel
