#include "formats/accurate_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "decoders/saxman.h"
#include "formats/format_table.h"

namespace quarvel {
namespace {

// What the games' compressor wrote in each of its forms for `format`.
struct Form {
  std::string_view name;
  AccurateOptions options;
};

}  // namespace

Expected<AccurateCheck, DecodeError> CheckAccurate(Format format, std::span<const std::uint8_t> block, bool streamOnly) {
  if (streamOnly && block.size() > kSaxmanLongestStream)
    return Fail(DecodeError{DecodeErrorKind::OutputTooLarge, 0,
                            "a Saxman stream holds at most 65,535 bytes, and this one " + std::to_string(block.size())});
  auto decoded = streamOnly ? DecodeSaxmanStream(block, 0, static_cast<std::uint16_t>(block.size())) : DecodeBlock(format, block, 0);
  if (!decoded) return Fail(decoded.error());
  std::vector<Form> forms{{"", {}}};
  if (format == Format::Nemesis) forms = {{"Sonic 1 and 2", {}}, {"Sonic 3 & Knuckles", {.evenLength = true, .headerSize = {}}}};
  if (format == Format::KosinskiModuled && block.size() >= 2)
    forms.front().options.headerSize = static_cast<std::uint16_t>(block[0] << 8 | block[1]);

  AccurateCheck nearest;
  for (const Form& form : forms) {
    auto accurate = CodecOf(format).compressAccurate(decoded->bytes, form.options);
    if (!accurate) continue;  // data no block of the format holds: it was not made so
    if (streamOnly) accurate->erase(accurate->begin(), accurate->begin() + kSaxmanHeaderBytes);
    const auto differ = std::mismatch(block.begin(), block.end(), accurate->begin(), accurate->end());
    AccurateCheck check;
    check.identical = differ.first == block.end() && differ.second == accurate->end();
    check.form = form.name;
    check.firstDifference = static_cast<std::uint64_t>(differ.first - block.begin());
    if (differ.first != block.end()) check.stored = *differ.first;
    if (differ.second != accurate->end()) check.accurate = *differ.second;
    check.storedSize = block.size();
    check.accurateSize = accurate->size();
    if (check.identical) return check;
    if (nearest.accurateSize == 0 || check.firstDifference > nearest.firstDifference) nearest = check;
  }
  return nearest;
}

}  // namespace quarvel
