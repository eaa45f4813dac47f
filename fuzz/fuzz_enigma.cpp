// Enigma decoding of any bytes, at several offsets: never a crash and an output within
// the capacity; the file path that every command takes gives what decoding from
// memory gives; a block at offset k decodes as the bytes from k on do; and what the
// scan's probe accepts decodes, to the sizes the probe found.
#include <cstdlib>
#include <span>

#include "decoders/enigma.h"
#include "files/extraction.h"
#include "scratch_file.h"

using quarvel::DecodedBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  const auto decode = [](std::span<const std::uint8_t> bytes, std::int64_t at) {
    return quarvel::DecodeEnigma(bytes, at);
  };
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize;
  };
  quarvel::fuzz::DecodeAtOffsets(quarvel::Format::Enigma, rom, decode, same,
                                 [&](std::size_t offset, const auto& block) {
                                   if (block && (block->bytes.size() > quarvel::kEnigmaCapacity ||
                                                 block->bytes.size() % 2 != 0 || block->compressedSize > size - offset))
                                     std::abort();
                                   if (const auto probe = quarvel::ProbeEnigma(rom, offset)) {
                                     if (!block || block->bytes.size() != probe->sizes.decodedSize ||
                                         block->compressedSize != probe->sizes.compressedSize)
                                       std::abort();
                                   }
                                 });
  return 0;
}
