#include "rom/rom_identity.h"

#include <array>

#include "common/md5.h"

#include "rom/rom_image.h"

namespace quarvel {
namespace {

constexpr std::array<KnownRom, 6> kKnownRoms = {{
#include "known_roms.inc"
}};

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
  const auto md5 = Md5Hex(image);
  for (const auto& rom : known)
    if (md5 && !rom.md5.empty() && rom.size == image.size() && *md5 == rom.md5) return {RomIdentity::How::Exactly, &rom};
  const auto header = ReadRomHeader(image);
  if (!header) return {};
  for (const auto& rom : known) {
    if (header->serial != rom.serial || rom.size != image.size()) continue;
    if (rom.md5.empty()) return {RomIdentity::How::Partly, &rom};
    if (rom.checksum == header->storedChecksum) return {RomIdentity::How::Probably, &rom};
  }
  return {};
}

std::optional<std::string> Md5Hex(std::span<const std::uint8_t> bytes) { return Md5Text(bytes); }

}  // namespace quarvel
