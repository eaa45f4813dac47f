// Offset text of any bytes, in both radixes: a value that parses formats back to text
// that parses to the same value.
#include <cstdlib>
#include <string_view>

#include "offset/offset_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const auto radix : {quarvel::Radix::Hex, quarvel::Radix::Dec}) {
    const auto value = quarvel::ParseOffsetText(text, radix);
    if (!value) continue;
    for (const auto other : {quarvel::Radix::Hex, quarvel::Radix::Dec}) {
      const auto again = quarvel::ParseOffsetText(quarvel::FormatOffsetText(*value, other), other);
      if (!again || *again != *value) std::abort();
    }
  }
  return 0;
}
