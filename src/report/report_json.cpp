#include "report/report_json.h"

#include <cmath>
#include <string>

#include "catalogue/rom_names.h"  // kRomCatalogues alone: the names of the games' ROMs
#include "common/md5.h"
#include "decoders/decode_error.h"
#include "rom/rom_identity.h"
#include "rom/rom_image.h"

namespace quarvel {
namespace {

using Json = nlohmann::ordered_json;

// `value`, or null when there is none.
template <class T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json CatalogueJson(const RomIdentity& identity) {
  if (identity.how == RomIdentity::How::Unknown) return nullptr;
  std::string_view rom = identity.rom->baseName;
  for (const auto& known : kRomCatalogues)
    if (known.baseName == identity.rom->baseName) rom = known.listText;
  const bool changed = identity.how == RomIdentity::How::Changed;
  return {{"name", identity.rom->baseName},
          {"rom", rom},
          {"match", identity.how == RomIdentity::How::Exactly ? "exactly" : changed ? "changed" : "probably"},
          {"blocks_in_place", changed ? Json(identity.blocksInPlace) : Json(nullptr)},
          {"known_blocks", identity.rom->blocks.size()}};
}

}  // namespace

Json ScanCandidateJson(const ScanCandidate& c) {
  const FormatInfo& format = InfoOf(c.format);
  return {{"offset", c.offset},
          {"offset_hex", HexOffset(c.offset)},
          {"format", format.name},
          {"decoded_size", c.decodedSize},
          {"tiles", format.tiles ? Json(c.decodedSize / kTileBytes) : Json(nullptr)},
          {"compressed_size", c.compressedSize},
          {"confidence", std::round(c.confidence * 100) / 100},
          {"games_own", c.gamesOwn}};
}

Json RomInfoJson(std::span<const std::uint8_t> image, RomLayout layout) {
  const auto header = ReadRomHeader(image);
  const bool has = header && HasMegaDriveHeader(image);
  const auto field = [has](const std::string& text) { return has ? Json(text) : Json(nullptr); };
  Json checksum = nullptr;
  if (has) {
    const std::uint16_t computed = ComputeChecksum(image);
    checksum = {{"stored", header->storedChecksum}, {"computed", computed}, {"correct", computed == header->storedChecksum}};
  }
  return {{"header", has},
          {"console", field(header ? header->console : "")},
          {"title", field(header ? header->domesticTitle : "")},
          {"overseas_title", field(header ? header->overseasTitle : "")},
          {"serial", field(header ? header->serial : "")},
          {"revision", has && !header->revision.empty() ? Json(header->revision) : Json(nullptr)},
          {"checksum", std::move(checksum)},
          {"rom_end", has ? Json(header->romEnd) : Json(nullptr)},
          {"region", field(header ? header->region : "")},
          {"size", image.size()},
          {"md5", Md5Text(image)},
          {"interleaved", layout == RomLayout::Interleaved},
          {"catalogue", CatalogueJson(IdentifyRom(image))}};
}

Json AccurateCheckJson(const AccurateCheck& check) {
  const bool differs = !check.identical;
  return {{"identical", check.identical},
          {"form", check.form.empty() ? Json(nullptr) : Json(check.form)},
          {"first_difference", differs ? Json(check.firstDifference) : Json(nullptr)},
          {"stored_byte", differs ? OrNull(check.stored) : Json(nullptr)},
          {"accurate_byte", differs ? OrNull(check.accurate) : Json(nullptr)},
          {"stored_size", check.storedSize},
          {"accurate_size", check.accurateSize}};
}

}  // namespace quarvel
