// Kosinski Moduled decoding of any bytes, at several offsets: never a crash and an
// output no larger than its modules can hold, and a warning exactly when it is not the
// size its header says; the file path that every command takes
// gives what decoding from memory gives; a block at offset k decodes as the bytes from
// k on do.
#include <cstdlib>
#include <span>

#include "decoders/kosinski.h"
#include "decoders/kosinski_moduled.h"
#include "files/extraction.h"
#include "scratch_file.h"

using quarvel::DecodedBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quarvel::fuzz::ScratchFile file;
  const std::span<const std::uint8_t> rom(data, size);
  file.Hold(rom);
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize && a.warnings.size() == b.warnings.size();
  };
  for (const std::size_t offset : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
    if (offset > size) break;
    const auto block = quarvel::DecodeKosinskiModuled(rom, static_cast<std::int64_t>(offset));
    quarvel::fuzz::RequireSame(
        block, quarvel::ReadBlock(quarvel::Format::KosinskiModuled, file.Path(), static_cast<std::int64_t>(offset)), 0,
        same);
    if (offset < size) quarvel::fuzz::RequireSame(block, quarvel::DecodeKosinskiModuled(rom.subspan(offset), 0), offset, same);
    if (!block) continue;
    const std::size_t header = std::size_t{data[offset]} << 8 | data[offset + 1];
    if (block->bytes.empty() || block->compressedSize > size - offset ||
        block->bytes.size() > header - header % quarvel::kModuleBytes + quarvel::kKosinskiCapacity ||
        block->warnings.empty() != (block->bytes.size() == header))
      std::abort();
  }
  return 0;
}
