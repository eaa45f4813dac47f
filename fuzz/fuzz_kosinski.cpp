// Kosinski decoding of any bytes, at several offsets: never a crash and a bounded
// output; the file path that every command takes gives what decoding from memory
// gives; a block at offset k decodes as the bytes from k on do; and the scan's probe
// finds exactly the blocks that end at their end marker, as the scanner does at every
// offset (of inputs up to 4 KiB) for the blocks no larger than what they decode to.
#include <cstdlib>
#include <span>

#include "decoders/kosinski.h"
#include "files/extraction.h"
#include "scan/kosinski_scan.h"
#include "scratch_file.h"

using quarvel::DecodedBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  const auto decode = [](std::span<const std::uint8_t> bytes, std::int64_t at) {
    return quarvel::DecodeKosinski(bytes, at);
  };
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize;
  };
  quarvel::fuzz::DecodeAtOffsets(
      quarvel::Format::Kosinski, rom, decode, same, [&](std::size_t offset, const auto& block) {
        const auto probe = quarvel::ProbeKosinski(rom, offset);
        if (probe.has_value() != block.has_value()) std::abort();
        if (probe && (probe->decodedSize != block->bytes.size() || probe->compressedSize != block->compressedSize))
          std::abort();
        if (block && (block->bytes.empty() || block->bytes.size() > quarvel::kKosinskiCapacity ||
                      block->compressedSize == 0 || block->compressedSize > size - offset))
          std::abort();
      });
  if (size > 4096) return 0;  // every offset against the decoder takes time squared
  const quarvel::KosinskiScanner scanner(rom);
  for (std::size_t offset = size; offset-- > 0;) {
    auto probe = quarvel::ProbeKosinski(rom, offset);
    if (probe && probe->compressedSize > quarvel::KosinskiLongestStream(probe->decodedSize)) probe.reset();
    const auto found = scanner.At(offset);
    if (found.has_value() != probe.has_value()) std::abort();
    if (found && (found->decodedSize != probe->decodedSize || found->compressedSize != probe->compressedSize))
      std::abort();
  }
  return 0;
}
