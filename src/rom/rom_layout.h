// ROM image files as dumpers write them: plain, or interleaved (.smd). An interleaved
// dump is a 512-byte header (byte 0 the number of 16 KiB blocks, bytes 8 and 9 AA BB)
// and blocks of 16,384 bytes, each the plain block's bytes at odd offsets (1, 3, 5, ...)
// and then those at even offsets (0, 2, 4, ...).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quarvel {

// The most a ROM image is read: more than any cartridge or disc image section holds.
inline constexpr std::uint64_t kRomImageLimit = 64ull << 20;

inline constexpr std::size_t kInterleavedHeader = 512;
inline constexpr std::size_t kInterleavedBlock = 16384;

enum class RomLayout {
  Plain,
  Interleaved,       // de-interleaved, "SEGA" stands at 0x100, where the file as it is has none
  LooksInterleaved,  // its size and AA BB say interleaved, its bytes do not: read as plain
};

RomLayout DetectLayout(std::span<const std::uint8_t> file);

// Whether a plain image has a Mega Drive header: "SEGA" at 0x100.
bool HasMegaDriveHeader(std::span<const std::uint8_t> image);

// The plain image of an interleaved dump (its size 512 + a multiple of 16,384).
std::vector<std::uint8_t> Deinterleave(std::span<const std::uint8_t> file);

// The plain image of a file's bytes, and how the file held it.
struct PlainImage {
  std::vector<std::uint8_t> bytes;
  RomLayout layout = RomLayout::Plain;
};
PlainImage ToPlainImage(std::vector<std::uint8_t> file);

// What a command says, once, of a file that is not plain (empty for a plain one).
std::string_view LayoutNote(RomLayout layout);

}  // namespace quarvel
