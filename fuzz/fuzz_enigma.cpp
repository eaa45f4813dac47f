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
  static quarvel::fuzz::ScratchFile file;
  const std::span<const std::uint8_t> rom(data, size);
  file.Hold(rom);
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize;
  };
  for (const std::size_t offset : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
    if (offset > size) break;
    const auto block = quarvel::DecodeEnigma(rom, static_cast<std::int64_t>(offset));
    quarvel::fuzz::RequireSame(block, quarvel::ReadBlock(quarvel::Format::Enigma, file.Path(), static_cast<std::int64_t>(offset)), 0,
                               same);
    if (offset < size) quarvel::fuzz::RequireSame(block, quarvel::DecodeEnigma(rom.subspan(offset), 0), offset, same);
    if (block && (block->bytes.size() > quarvel::kEnigmaCapacity || block->bytes.size() % 2 != 0 ||
                  block->compressedSize > size - offset))
      std::abort();
    if (const auto probe = quarvel::ProbeEnigma(rom, offset)) {
      if (!block || block->bytes.size() != probe->sizes.decodedSize ||
          block->compressedSize != probe->sizes.compressedSize)
        std::abort();
    }
  }
  return 0;
}
