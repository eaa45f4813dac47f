// What a ROM image's header says, and which of the games' catalogues fits it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/format.h"

namespace quarvel {

// The header of a plain image (0x100 to 0x1FF), its texts without trailing blanks.
struct RomHeader {
  std::string console;        // 0x100, 16 bytes: "SEGA MEGA DRIVE"
  std::string domesticTitle;  // 0x120, 48 bytes
  std::string overseasTitle;  // 0x150, 48 bytes
  std::string serial;         // 0x180, 14 bytes: "GM 00001009-00", its revision last
  std::string revision;       // what follows the serial's last '-': "00"; empty without one
  std::uint16_t storedChecksum = 0;  // 0x18E
  std::uint32_t romEnd = 0;          // 0x1A4
  std::string region;                // 0x1F0, 3 bytes: "JUE"
};

// Nothing for an image too short to hold a header.
std::optional<RomHeader> ReadRomHeader(std::span<const std::uint8_t> image);

// A block that a catalogue lists.
struct KnownBlock {
  std::uint32_t offset;
  Format format;
};

// What identifies the ROM image of one of the games' catalogues.
struct KnownRom {
  std::string_view baseName;  // of its catalogue
  std::string_view serial;
  std::uint64_t size;
  std::string_view md5;
  std::int32_t checksum;      // -1: not known
  std::span<const KnownBlock> blocks = {};  // the catalogue's blocks, in offset order
};

struct RomIdentity {
  enum class How {
    Exactly,   // its size and MD5 are those of the catalogue's image
    Probably,  // its serial, size and stored checksum are
    Changed,   // at least 90 % of the catalogue's blocks decode where it lists them
    Unknown,
  } how = How::Unknown;
  const KnownRom* rom = nullptr;  // but for Unknown
  std::size_t blocksInPlace = 0;  // with Changed: of rom->blocks, those that decode where listed
};

// The images of the games' catalogues (their data's facts and blocks).
std::span<const KnownRom> KnownRoms();

// Which of `known` `image` is: the first whose size and MD5 it has; else the first whose
// serial, size and stored checksum it has (or, with no MD5 known, serial and size); else
// a changed image of the one of `known` of which at least 90 % of the blocks decode to
// their end (to a byte or more), in their formats, where it lists them and before the
// next block it lists (of several, the one with the most such blocks, since one
// catalogue's blocks may be part of another's, then the highest share); else Unknown.
RomIdentity IdentifyRom(std::span<const std::uint8_t> image, std::span<const KnownRom> known = KnownRoms());

}  // namespace quarvel
