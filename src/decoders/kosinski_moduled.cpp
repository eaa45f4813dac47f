#include "decoders/kosinski_moduled.h"

#include <memory>
#include <string>

#include "decoders/kosinski.h"

namespace quarvel {
namespace {

DecodeError BadModule(std::uint64_t position, std::uint64_t block, std::size_t module, const std::string& what) {
  return {DecodeErrorKind::BadModule, position,
          "module " + std::to_string(module + 1) + " of the block at " + HexOffset(block) + " " + what};
}

}  // namespace

DecodeResult<DecodedBlock> DecodeKosinskiModuled(ByteSource& in) {
  std::uint8_t high, low;
  if (!in.Next(high) || !in.Next(low)) return Fail(EndOfData(in, "ends inside its header"));
  const std::size_t size = std::size_t{high} << 8 | low;
  const std::uint64_t block = in.BlockStart();
  if (size == 0) {
    return Fail(DecodeError{DecodeErrorKind::EmptyResult, block + 1,
                            "the block at " + HexOffset(block) + " decodes to nothing: its header says 0 bytes"});
  }
  const std::uint64_t first = in.Position();
  const std::size_t modules = (size + kModuleBytes - 1) / kModuleBytes;
  // Each module decoded in place after the ones before: room for the last to be as
  // large as a Kosinski block (it is then refused, or kept whole with a warning).
  thread_local const std::unique_ptr<std::uint8_t[]> scratch(
      new std::uint8_t[kModuledCapacity / kModuleBytes * kModuleBytes + kKosinskiCapacity + kKosinskiSlack]);
  std::size_t decoded = 0;
  DecodedBlock result;
  for (std::size_t m = 0; m < modules; ++m) {
    const std::uint64_t start = in.Position();
    const auto module = DecodeKosinskiInto(in, scratch.get() + decoded);
    if (!module && module.error().kind == DecodeErrorKind::CopyBeforeStart) {
      const std::uint64_t at = module.error().position;
      return Fail(BadModule(at, block, m, "copies from before its start at " + HexOffset(at)));
    }
    if (!module) return Fail(std::move(module.error()));
    const bool last = m + 1 == modules;
    if (!last && *module != kModuleBytes)
      return Fail(BadModule(start, block, m, "decodes to " + std::to_string(*module) + " bytes, not 4096"));
    if (last && *module != size - kModuleBytes * m) {
      result.warnings.push_back("the header of the block at " + HexOffset(block) + " says " + std::to_string(size) +
                                " bytes, but its modules hold " + std::to_string(kModuleBytes * m + *module));
    }
    decoded += *module;
    if (!last) {
      for (std::uint64_t at = in.Position(); (at - first) % kModulePadding != 0; ++at) {
        std::uint8_t padding;
        if (!in.Next(padding)) return Fail(EndOfData(in, "ends inside the padding after a module"));
      }
    }
  }
  result.bytes.assign(scratch.get(), scratch.get() + decoded);
  result.compressedSize = in.Position() - block;
  return result;
}

DecodeResult<DecodedBlock> DecodeKosinskiModuled(std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return DecodeKosinskiModuled(*in);
}

}  // namespace quarvel
