#include "rom/rom_layout.h"

#include <algorithm>

namespace quarvel {
namespace {

constexpr std::size_t kConsoleAt = 0x100;
constexpr std::string_view kSega = "SEGA";

}  // namespace

bool HasMegaDriveHeader(std::span<const std::uint8_t> image) {
  return image.size() >= kConsoleAt + kSega.size() && std::equal(kSega.begin(), kSega.end(), image.begin() + kConsoleAt);
}

RomLayout DetectLayout(std::span<const std::uint8_t> file) {
  if (file.size() < kInterleavedHeader + kInterleavedBlock || (file.size() - kInterleavedHeader) % kInterleavedBlock != 0 ||
      file[8] != 0xAA || file[9] != 0xBB)
    return RomLayout::Plain;
  // The header's first block is enough to tell.
  const auto first = Deinterleave(file.first(kInterleavedHeader + kInterleavedBlock));
  return HasMegaDriveHeader(first) && !HasMegaDriveHeader(file) ? RomLayout::Interleaved : RomLayout::LooksInterleaved;
}

std::vector<std::uint8_t> Deinterleave(std::span<const std::uint8_t> file) {
  const auto blocks = file.subspan(std::min(file.size(), kInterleavedHeader));
  std::vector<std::uint8_t> plain(blocks.size() / kInterleavedBlock * kInterleavedBlock);
  constexpr std::size_t half = kInterleavedBlock / 2;
  for (std::size_t block = 0; block < plain.size(); block += kInterleavedBlock) {
    for (std::size_t i = 0; i < half; ++i) {
      plain[block + 2 * i + 1] = blocks[block + i];
      plain[block + 2 * i] = blocks[block + half + i];
    }
  }
  return plain;
}

PlainImage ToPlainImage(std::vector<std::uint8_t> file) {
  const RomLayout layout = DetectLayout(file);
  if (layout == RomLayout::Interleaved) return {Deinterleave(file), layout};
  return {std::move(file), layout};
}

std::string_view LayoutNote(RomLayout layout) {
  switch (layout) {
    case RomLayout::Plain: return "";
    case RomLayout::Interleaved: return "an interleaved (.smd) dump: read de-interleaved";
    case RomLayout::LooksInterleaved:
      return "looks like an interleaved (.smd) dump (its size and AA BB at bytes 8-9), but de-interleaved it has "
             "no SEGA header at 0x100: read as it is";
  }
  return "";
}

}  // namespace quarvel
