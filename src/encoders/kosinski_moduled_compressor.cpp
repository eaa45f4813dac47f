#include "encoders/kosinski_moduled_compressor.h"

#include <algorithm>

#include "decoders/kosinski_moduled.h"
#include "encoders/kosinski_accurate.h"
#include "encoders/kosinski_compressor.h"

namespace quarvel {

namespace {

// The block of `data` with each module made by `compress`, padded between modules.
template <class Compress>
Expected<std::vector<std::uint8_t>, std::string> Moduled(std::span<const std::uint8_t> data, std::uint16_t headerSize,
                                                         Compress compress) {
  if (data.empty()) return Fail(std::string("the data is empty; a block holds 1 to 65,535 bytes"));
  if (data.size() > kModuledCapacity) {
    return Fail("the data has " + std::to_string(data.size()) +
                " bytes; Kosinski Moduled holds at most 65,535 (its size is a 16-bit word)");
  }
  // The decoder reads as many modules as the header's size needs: the data must fill as many.
  const auto modules = [](std::size_t bytes) { return (bytes + kModuleBytes - 1) / kModuleBytes; };
  if (modules(headerSize) != modules(data.size())) {
    return Fail("a header that says " + std::to_string(headerSize) + " bytes makes the decoder read " +
                std::to_string(modules(headerSize)) + " modules of up to 4096 bytes, and the " +
                std::to_string(data.size()) + " bytes of data fill " + std::to_string(modules(data.size())) +
                ": the block would not decode");
  }
  std::vector<std::uint8_t> block{static_cast<std::uint8_t>(headerSize >> 8), static_cast<std::uint8_t>(headerSize)};
  for (std::size_t at = 0; at < data.size(); at += kModuleBytes) {
    if (at != 0) block.resize(2 + (block.size() - 2 + kModulePadding - 1) / kModulePadding * kModulePadding, 0);
    auto module = compress(data.subspan(at, std::min(kModuleBytes, data.size() - at)));
    if (!module) return Fail(std::move(module.error()));
    block.insert(block.end(), module->begin(), module->end());
  }
  return block;
}

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiModuled(std::span<const std::uint8_t> data) {
  return Moduled(data, static_cast<std::uint16_t>(data.size()), CompressKosinski);
}

Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiModuledAccurate(std::span<const std::uint8_t> data,
                                                                                 std::optional<std::uint16_t> headerSize) {
  // Each module comes padded to 16 bytes already, the last one too.
  return Moduled(data, headerSize.value_or(static_cast<std::uint16_t>(data.size())), CompressKosinskiAccurate);
}

}  // namespace quarvel
