#include "decoders/extraction.h"

#include "platform/files.h"

namespace quarvel {

DecodeResult<Extraction> ExtractBlock(const std::filesystem::path& source, const std::filesystem::path& destination,
                                      std::int32_t offset, BlockReader read) {
  if (IsSameFile(source, destination)) {
    return Fail(DecodeError{DecodeErrorKind::SourceIsDestination, 0,
                            "the destination '" + PathToUtf8(destination) +
                                "' is the ROM image itself; it is never written"});
  }
  auto block = read(source, offset);
  if (!block) return Fail(block.error());
  if (const auto error = ReplaceFileContents(destination, block->bytes))
    return Fail(FileError(DecodeErrorKind::CannotWriteDestination, "write", destination, error));
  return Extraction{block->bytes.size(), block->compressedSize, block->stoppedAtCopyBeforeStart};
}

}  // namespace quarvel
