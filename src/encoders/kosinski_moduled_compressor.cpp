#include "encoders/kosinski_moduled_compressor.h"

#include <algorithm>

#include "decoders/kosinski_moduled.h"
#include "encoders/kosinski_compressor.h"

namespace quarvel {

Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiModuled(std::span<const std::uint8_t> data) {
  if (data.empty()) return Fail(std::string("the data is empty; a block holds 1 to 65,535 bytes"));
  if (data.size() > kModuledCapacity) {
    return Fail("the data has " + std::to_string(data.size()) +
                " bytes; Kosinski Moduled holds at most 65,535 (its size is a 16-bit word)");
  }
  std::vector<std::uint8_t> block{static_cast<std::uint8_t>(data.size() >> 8), static_cast<std::uint8_t>(data.size())};
  for (std::size_t at = 0; at < data.size(); at += kModuleBytes) {
    if (at != 0) block.resize(2 + (block.size() - 2 + kModulePadding - 1) / kModulePadding * kModulePadding, 0);
    auto module = CompressKosinski(data.subspan(at, std::min(kModuleBytes, data.size() - at)));
    if (!module) return Fail(std::move(module.error()));
    block.insert(block.end(), module->begin(), module->end());
  }
  return block;
}

}  // namespace quarvel
