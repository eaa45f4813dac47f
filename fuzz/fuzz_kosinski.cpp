// Kosinski decoding of any bytes: never a crash, a bounded output, the same answer twice.
#include <cstdlib>
#include <span>

#include "decoders/kosinski.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  const std::int64_t offset = size > 0 ? data[0] % 4 : 0;
  const auto first = quarvel::DecodeKosinski(rom, offset);
  const auto second = quarvel::DecodeKosinski(rom, offset);
  if (first.has_value() != second.has_value()) std::abort();
  if (!first) {
    if (first.error().kind != second.error().kind || first.error().position != second.error().position) std::abort();
    return 0;
  }
  const auto& block = *first;
  if (block.bytes.empty() || block.bytes.size() > quarvel::kKosinskiCapacity) std::abort();
  if (block.compressedSize == 0 || block.compressedSize > size - static_cast<std::size_t>(offset)) std::abort();
  if (block.bytes != second->bytes || block.compressedSize != second->compressedSize) std::abort();
  return 0;
}
