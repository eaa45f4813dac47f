#include "rom/rom_image.h"

#include <algorithm>
#include <cstdio>

#include "decoders/decode_error.h"
#include "formats/format_table.h"

namespace quarvel {
namespace {

constexpr std::uint64_t kLargestRom = 64u << 20;  // what the tool reads at most

std::string Bytes(std::uint64_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

}  // namespace

std::size_t ChecksumEnd(std::span<const std::uint8_t> rom) {
  if (rom.size() < kRomEndAt + 4) return rom.size();
  const std::uint64_t last = std::uint64_t{rom[kRomEndAt]} << 24 | std::uint64_t{rom[kRomEndAt + 1]} << 16 |
                             std::uint64_t{rom[kRomEndAt + 2]} << 8 | rom[kRomEndAt + 3];
  return last < rom.size() ? static_cast<std::size_t>(last) + 1 : rom.size();
}

std::uint16_t ComputeChecksum(std::span<const std::uint8_t> rom) {
  const std::size_t end = ChecksumEnd(rom);
  std::uint16_t sum = 0;
  for (std::size_t at = kChecksumFrom; at < end; at += 2) {
    const unsigned low = at + 1 < end ? rom[at + 1] : 0;
    sum = static_cast<std::uint16_t>(sum + (unsigned{rom[at]} << 8 | low));
  }
  return sum;
}

std::optional<std::uint16_t> StoredChecksum(std::span<const std::uint8_t> rom) {
  if (rom.size() < kChecksumAt + 2) return std::nullopt;
  return static_cast<std::uint16_t>(rom[kChecksumAt] << 8 | rom[kChecksumAt + 1]);
}

bool FixChecksum(std::vector<std::uint8_t>& rom) {
  if (rom.size() < kChecksumAt + 2) return false;
  const std::uint16_t sum = ComputeChecksum(rom);
  rom[kChecksumAt] = static_cast<std::uint8_t>(sum >> 8);
  rom[kChecksumAt + 1] = static_cast<std::uint8_t>(sum);
  return true;
}

Expected<Insertion, std::string> InsertBlock(std::vector<std::uint8_t>& rom, std::uint64_t offset, std::uint64_t oldSize,
                                             std::span<const std::uint8_t> block, const InsertOptions& options) {
  if (offset > rom.size() || oldSize > rom.size() - offset) {
    return Fail("the old block at " + HexOffset(offset) + " reaches past the end of the ROM");
  }
  if (block.size() <= oldSize) {
    std::copy(block.begin(), block.end(), rom.begin() + static_cast<std::ptrdiff_t>(offset));
    std::fill(rom.begin() + static_cast<std::ptrdiff_t>(offset + block.size()),
              rom.begin() + static_cast<std::ptrdiff_t>(offset + oldSize), options.fill);
    return Insertion{offset, false, rom.size()};
  }
  const std::string sizes = "the new block takes " + Bytes(block.size()) + ", the old one's room " + Bytes(oldSize);
  if (!options.append) return Fail(sizes + ": it does not fit");
  const std::uint64_t at = (rom.size() + 1) / 2 * 2;
  const std::uint64_t needed = at + block.size();
  const std::uint64_t size = (needed + kRomGrowth - 1) / kRomGrowth * kRomGrowth;
  if (size > kLargestCartridge && !options.allowLarge) {
    return Fail(sizes + "; at the end of the ROM it would grow it to " + Bytes(size) +
                ", past the 4 MiB a cartridge holds");
  }
  if (size > kLargestRom) return Fail(sizes + "; at the end of the ROM it would grow it past 64 MiB");
  if (rom.size() < kRomEndAt + 4) return Fail("the ROM is too small to have a header with its end address");
  const std::size_t oldEnd = rom.size();
  rom.resize(size, options.fill);
  std::fill(rom.begin() + static_cast<std::ptrdiff_t>(oldEnd), rom.end(), options.fill);
  std::copy(block.begin(), block.end(), rom.begin() + static_cast<std::ptrdiff_t>(at));
  const std::uint64_t last = size - 1;
  for (unsigned i = 0; i < 4; ++i) rom[kRomEndAt + i] = static_cast<std::uint8_t>(last >> (24 - 8 * i));
  return Insertion{at, true, size};
}

namespace {

std::string Confidence(double confidence) {
  char text[8];
  std::snprintf(text, sizeof text, "%.2f", confidence);
  return text;
}

// Whether the scan takes what starts at `offset` for a block of `format`, and how surely.
double ScanConfidence(Format format, std::span<const std::uint8_t> rom, std::uint64_t offset) {
  const auto hit = CodecOf(format).scanner(rom)(static_cast<std::size_t>(offset));
  return hit ? std::min(hit->confidence, hit->ceiling) : 0;
}

// Whether `changed` differs from `rom` only where a change may write: the room of the
// old block in place, or what was appended, and the header words it sets.
bool ChangesOnlyWhereAllowed(std::span<const std::uint8_t> rom, std::span<const std::uint8_t> changed,
                             const Insertion& where, std::uint64_t offset, std::uint64_t room) {
  const auto allowed = [&](std::size_t at) {
    if (at >= kChecksumAt && at < kChecksumAt + 2) return true;
    if (where.appended) return at >= rom.size() || (at >= kRomEndAt && at < kRomEndAt + 4);
    return at >= offset && at < offset + room;
  };
  if (changed.size() != (where.appended ? where.romSize : rom.size())) return false;
  for (std::size_t at = 0; at < rom.size(); ++at)
    if (rom[at] != changed[at] && !allowed(at)) return false;
  return true;
}

}  // namespace

Expected<BlockChanged, ChangeFailure> ReplaceBlock(std::vector<std::uint8_t>& rom, std::span<const std::uint8_t> data,
                                                   const BlockChange& change) {
  using Kind = ChangeFailure::Kind;
  const FormatInfo& info = InfoOf(change.format);
  const std::string title(info.title), at = HexOffset(static_cast<std::uint64_t>(std::max<std::int64_t>(change.offset, 0)));
  const auto old = DecodeBlock(change.format, rom, change.offset);
  if (!old) {
    return Fail(ChangeFailure{Kind::NoOldBlock, "the ROM holds no " + title + " block there to replace: " + old.error().message});
  }
  const auto offset = static_cast<std::uint64_t>(change.offset);
  const std::uint64_t room = old->compressedSize;
  if (offset < kChecksumFrom && offset + room > kHeaderAt) {
    return Fail(ChangeFailure{Kind::InHeader, "the old block (" + Bytes(room) + " from " + at +
                                                  ") reaches into the header at 0x100 to 0x1FF, which is never written",
                              room});
  }
  if (!change.listed && !change.force) {
    const double confidence = ScanConfidence(change.format, rom, offset);
    if (confidence < kLikelyBlock) {
      const bool vowel = std::string_view("AEIOU").find(title.front()) != std::string_view::npos;
      ChangeFailure failure{Kind::NotABlock,
                            std::string("nothing says that ") + (vowel ? "an " : "a ") + title +
                                " block starts there: no catalogue lists one, and the scan " +
                                (confidence > 0 ? "rates it " + Confidence(confidence) + " (a block, " +
                                                      Confidence(kLikelyBlock) + " or more)"
                                                : std::string("takes it for no block")),
                            room};
      failure.confidence = confidence;
      return Fail(std::move(failure));
    }
  }
  std::vector<std::uint8_t> block, expected(data.begin(), data.end());
  if (change.raw) {
    const auto check = DecodeBlock(change.format, data, 0);
    if (!check) return Fail(ChangeFailure{Kind::BadData, "the data is no " + title + " block: " + check.error().message});
    block.assign(data.begin(), data.end());
    expected = check->bytes;
  } else {
    auto compressed = CodecOf(change.format).compress(data);
    if (!compressed) return Fail(ChangeFailure{Kind::BadData, "the data cannot be compressed: " + compressed.error()});
    block = std::move(*compressed);
  }
  const auto tiles = [](std::uint64_t bytes) { return (bytes + kTileBytes - 1) / kTileBytes; };
  const std::uint64_t oldTiles = tiles(old->bytes.size()), newTiles = tiles(expected.size());
  if ((change.format == Format::Nemesis || change.fromPicture) && oldTiles != newTiles && !change.resize) {
    ChangeFailure failure{Kind::TileCountChanged, "the old block holds " + std::to_string(oldTiles) +
                                                      " tiles and the new data " + std::to_string(newTiles)};
    failure.oldTiles = oldTiles, failure.newTiles = newTiles;
    return Fail(std::move(failure));
  }
  std::vector<std::uint8_t> changed = rom;
  auto where = InsertBlock(changed, offset, room, block, change.placing);
  if (!where) {
    const Kind kind = change.placing.append ? Kind::TooLarge : Kind::DoesNotFit;
    return Fail(ChangeFailure{kind, std::move(where.error()), room, block.size()});
  }
  const bool fixed = change.fixChecksum && FixChecksum(changed);

  // The new image must give the data back, and keep every other byte.
  const auto placed = DecodeBlock(change.format, changed, static_cast<std::int64_t>(where->offset));
  if (!placed || placed->bytes != expected ||
      !ChangesOnlyWhereAllowed(rom, changed, *where, offset, room)) {
    return Fail(ChangeFailure{Kind::Unverified, "the new image does not give the block back as it should; nothing was "
                                                "changed (please report this)",
                              room, block.size()});
  }
  BlockChanged done{*where, room, block.size(), old->bytes.size(), expected.size(), fixed, placed->warnings};
  rom = std::move(changed);
  return done;
}

}  // namespace quarvel
