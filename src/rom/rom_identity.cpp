#include "rom/rom_identity.h"

#include <algorithm>

#include "common/md5.h"

#include "formats/format_table.h"
#include "rom/rom_image.h"

namespace quarvel {
namespace {

#include "known_roms.inc"

// Whether the block of `format` at `offset` of `image` decodes to its end, to at least
// one byte. A Nemesis block that does has a tile, and its code table ends at a byte 0xFF:
// a table of zeros, slow to read, is refused by a search for that byte.
bool Decodes(Format format, std::span<const std::uint8_t> image, std::size_t offset) {
  if (format == Format::Nemesis) {
    if (offset + 2 > image.size() || ((image[offset] & 0x7F) == 0 && image[offset + 1] == 0)) return false;
    if (std::find(image.begin() + static_cast<std::ptrdiff_t>(offset + 2), image.end(), 0xFF) == image.end()) return false;
  }
  const auto block = DecodeBlock(format, image, static_cast<std::int64_t>(offset));
  return block && !block->bytes.empty();
}

// How many of `rom`'s blocks decode where it lists them in `image`, each before the next
// one it lists; nothing as soon as more than 10 % of them do not (the image is not that
// ROM changed).
std::optional<std::size_t> BlocksInPlace(std::span<const std::uint8_t> image, const KnownRom& rom) {
  const std::size_t allowedFailures = rom.blocks.size() / 10;
  std::size_t failures = 0;
  for (std::size_t i = 0; i < rom.blocks.size(); ++i) {
    const KnownBlock& block = rom.blocks[i];
    const auto next = std::find_if(rom.blocks.begin() + static_cast<std::ptrdiff_t>(i), rom.blocks.end(),
                                   [&block](const KnownBlock& b) { return b.offset > block.offset; });
    const std::size_t end = next == rom.blocks.end() ? image.size() : std::min<std::size_t>(next->offset, image.size());
    if (block.offset < end && Decodes(block.format, image.first(end), block.offset)) continue;
    if (++failures > allowedFailures) return std::nullopt;
  }
  return rom.blocks.size() - failures;
}

// The catalogue of `known` that fits a changed `image` (see IdentifyRom).
RomIdentity IdentifyChanged(std::span<const std::uint8_t> image, std::span<const KnownRom> known) {
  RomIdentity best;
  for (const KnownRom& rom : known) {
    if (rom.blocks.empty() || rom.blocks.size() < best.blocksInPlace) continue;  // it cannot do better
    const auto inPlace = BlocksInPlace(image, rom);
    if (!inPlace) continue;
    // More blocks in place, or as many of fewer listed.
    if (best.rom && (*inPlace < best.blocksInPlace ||
                     (*inPlace == best.blocksInPlace && rom.blocks.size() >= best.rom->blocks.size())))
      continue;
    best = {RomIdentity::How::Changed, &rom, *inPlace};
  }
  return best;
}

std::string Text(std::span<const std::uint8_t> image, std::size_t at, std::size_t length) {
  std::string text(image.begin() + static_cast<std::ptrdiff_t>(at), image.begin() + static_cast<std::ptrdiff_t>(at + length));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::optional<RomHeader> ReadRomHeader(std::span<const std::uint8_t> image) {
  if (image.size() < 0x200) return std::nullopt;
  RomHeader header;
  header.console = Text(image, 0x100, 16);
  header.domesticTitle = Text(image, 0x120, 48);
  header.overseasTitle = Text(image, 0x150, 48);
  header.serial = Text(image, 0x180, 14);
  if (const auto dash = header.serial.rfind('-'); dash != std::string::npos) header.revision = header.serial.substr(dash + 1);
  header.storedChecksum = static_cast<std::uint16_t>(image[kChecksumAt] << 8 | image[kChecksumAt + 1]);
  header.romEnd = std::uint32_t{image[kRomEndAt]} << 24 | std::uint32_t{image[kRomEndAt + 1]} << 16 |
                  std::uint32_t{image[kRomEndAt + 2]} << 8 | image[kRomEndAt + 3];
  header.region = Text(image, 0x1F0, 3);
  return header;
}

std::span<const KnownRom> KnownRoms() { return kKnownRoms; }

RomIdentity IdentifyRom(std::span<const std::uint8_t> image, std::span<const KnownRom> known) {
  const std::string md5 = Md5Text(image);
  for (const auto& rom : known)
    if (rom.size == image.size() && md5 == rom.md5) return {RomIdentity::How::Exactly, &rom};
  const auto header = ReadRomHeader(image);
  if (!header) return {};
  for (const auto& rom : known) {
    if (header->serial != rom.serial || rom.size != image.size()) continue;
    if (rom.checksum == header->storedChecksum) return {RomIdentity::How::Probably, &rom};
  }
  return IdentifyChanged(image, known);
}


}  // namespace quarvel
