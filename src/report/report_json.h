// What the tool reports of a ROM image or a block, as JSON objects of one shape for every
// program that gives them: the command line (scan --json) and the C library.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>

#include "formats/accurate_check.h"
#include "rom/rom_layout.h"
#include "scan/block_scan.h"

namespace quarvel {

// A block the scan found: offset, offset_hex, format (its long name), decoded_size,
// tiles (null but for a format of tiles), compressed_size, confidence (to two
// decimals) and games_own.
nlohmann::ordered_json ScanCandidateJson(const ScanCandidate& candidate);

// What the command line's info says of the plain image `image` (read from a file laid out
// as `layout`), a key for each of its lines: header (whether "SEGA" stands at 0x100);
// console, title, overseas_title, serial, revision, checksum {stored, computed, correct},
// rom_end and region, null without a header; size, md5, interleaved; and catalogue, the
// games' catalogue whose image it is {name, rom, match ("exactly", "probably" or
// "changed"), blocks_in_place (null but for "changed"), known_blocks}, null for an
// unknown image. The image holds the header's 512 bytes at least.
nlohmann::ordered_json RomInfoJson(std::span<const std::uint8_t> image, RomLayout layout);

// An accurate check: identical, form (null where a format has one), and where not
// identical first_difference, stored_byte and accurate_byte (null past that side's end);
// stored_size and accurate_size.
nlohmann::ordered_json AccurateCheckJson(const AccurateCheck& check);

}  // namespace quarvel
