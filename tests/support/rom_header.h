// ROM images with a Mega Drive header, plain or interleaved (.smd), for the tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "formats/format_table.h"
#include "rom/rom_identity.h"
#include "support/bytes.h"

namespace quarvel::testing {

// `size` bytes of a pattern with a header: "SEGA MEGA DRIVE", `serial` at 0x180 and
// `checksum` at 0x18E.
inline Bytes WithHeader(std::size_t size, std::string_view serial, std::uint16_t checksum) {
  Bytes image(size);
  for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  std::memcpy(image.data() + 0x100, "SEGA MEGA DRIVE ", 16);
  std::memcpy(image.data() + 0x120, "TEST IMAGE", 10);
  std::memcpy(image.data() + 0x180, serial.data(), std::min<std::size_t>(serial.size(), 14));
  image[0x18E] = static_cast<std::uint8_t>(checksum >> 8);
  image[0x18F] = static_cast<std::uint8_t>(checksum);
  return image;
}

// The .smd dump of a plain image (its size a multiple of 16 KiB): a 512-byte header,
// then each block's odd bytes and then its even bytes.
inline Bytes Interleaved(const Bytes& plain) {
  Bytes file(512, 0);
  file[0] = static_cast<std::uint8_t>(plain.size() / 16384);
  file[8] = 0xAA, file[9] = 0xBB;
  for (std::size_t block = 0; block < plain.size(); block += 16384) {
    for (std::size_t i = 1; i < 16384; i += 2) file.push_back(plain[block + i]);
    for (std::size_t i = 0; i < 16384; i += 2) file.push_back(plain[block + i]);
  }
  return file;
}

// A small block (two tiles' worth of data) of each of `blocks`' formats at its offset.
inline void PlaceBlocks(Bytes& image, std::span<const KnownBlock> blocks) {
  for (const auto& block : blocks) {
    const auto packed = *CodecOf(block.format).compress(Bytes(64, 0x11));
    std::copy(packed.begin(), packed.end(), image.begin() + block.offset);
  }
}

// The ROM of the shipped catalogue `baseName` changed: an image of its size, with its
// serial (not its checksum) and a small block at each offset the catalogue lists but the
// first `missing`.
inline Bytes ChangedKnownRom(std::string_view baseName, std::size_t missing = 0) {
  const auto known = KnownRoms();
  const auto rom = std::find_if(known.begin(), known.end(), [&](const KnownRom& r) { return r.baseName == baseName; });
  Bytes image = WithHeader(rom->size, rom->serial, 0);
  PlaceBlocks(image, rom->blocks.subspan(missing));
  return image;
}

}  // namespace quarvel::testing
