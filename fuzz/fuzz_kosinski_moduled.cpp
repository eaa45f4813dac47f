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
  const std::span<const std::uint8_t> rom(data, size);
  const auto decode = [](std::span<const std::uint8_t> bytes, std::int64_t at) {
    return quarvel::DecodeKosinskiModuled(bytes, at);
  };
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize && a.warnings.size() == b.warnings.size();
  };
  quarvel::fuzz::DecodeAtOffsets(
      quarvel::Format::KosinskiModuled, rom, decode, same, [&](std::size_t offset, const auto& block) {
        if (!block) return;
        const std::size_t header = std::size_t{data[offset]} << 8 | data[offset + 1];
        if (block->bytes.empty() || block->compressedSize > size - offset ||
            block->bytes.size() > header - header % quarvel::kModuleBytes + quarvel::kKosinskiCapacity ||
            block->warnings.empty() != (block->bytes.size() == header))
          std::abort();
      });
  return 0;
}
