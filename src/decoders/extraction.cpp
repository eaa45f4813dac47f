#include "decoders/extraction.h"

namespace quarvel {

DecodeResult<Extraction> ExtractBlock(const std::filesystem::path& source, const std::filesystem::path& destination,
                                      std::int32_t offset, BlockReader read, const ReplaceOptions& options) {
  ProtectedFiles protect = options.protect != nullptr ? *options.protect : ProtectedFiles{};
  protect.Add(source, "the ROM image itself");
  if (auto refusal = protect.Refusal(destination))
    return Fail(DecodeError{DecodeErrorKind::SourceIsDestination, 0, std::move(*refusal)});
  ReplaceOptions checked = options;
  checked.protect = &protect;

  auto block = read(source, offset);
  if (!block) return Fail(block.error());
  if (const auto written = ReplaceFileContents(destination, block->bytes, checked); !written) {
    return Fail(DecodeError{DecodeErrorKind::CannotWriteDestination, 0, written.error().message,
                            block->stoppedAtCopyBeforeStart});
  }
  return Extraction{block->bytes.size(), block->compressedSize, block->stoppedAtCopyBeforeStart};
}

}  // namespace quarvel
