#include "decoders/extraction.h"

#include "platform/files.h"

namespace quarvel {

std::optional<DecodeError> RefuseSourceAsDestination(const std::filesystem::path& source,
                                                     const std::filesystem::path& destination) {
  if (!IsSameFile(source, destination)) return std::nullopt;
  return DecodeError{DecodeErrorKind::SourceIsDestination, 0,
                     "the destination '" + PathToUtf8(destination) + "' is the ROM image itself; it is never written"};
}

std::optional<DecodeError> WriteDestination(const std::filesystem::path& destination,
                                            std::span<const std::uint8_t> bytes) {
  if (const auto error = ReplaceFileContents(destination, bytes))
    return FileError(DecodeErrorKind::CannotWriteDestination, "write", destination, error);
  return std::nullopt;
}

}  // namespace quarvel
