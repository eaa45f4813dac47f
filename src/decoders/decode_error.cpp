#include "decoders/decode_error.h"

#include <cstdio>

namespace quarvel {

std::string HexOffset(std::uint64_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(offset));
  return text;
}

DecodeError NegativeOffsetError(std::int64_t offset) {
  return {DecodeErrorKind::NegativeOffset, 0, "offset " + std::to_string(offset) + " is negative"};
}

DecodeError OffsetBeyondEndError(std::int64_t offset, std::uint64_t size) {
  const auto at = static_cast<std::uint64_t>(offset);
  std::string message = "offset " + HexOffset(at) + " is beyond the end of the file (";
  message += size == 0 ? std::string("which is empty") : std::to_string(size) + " bytes, last offset " + HexOffset(size - 1);
  message += ")";
  return {DecodeErrorKind::OffsetBeyondEnd, at, std::move(message)};
}

DecodeError TruncatedError(std::uint64_t blockStart, std::uint64_t end, bool readFailed, std::string_view what) {
  if (readFailed) return {DecodeErrorKind::CannotOpenSource, 0, "reading the ROM image failed"};
  return {DecodeErrorKind::Truncated, end,
          "the block at " + HexOffset(blockStart) + " " + std::string(what) + " at byte " + HexOffset(end) +
              ", where the data ends"};
}

DecodeError OutputTooLargeError(std::uint64_t position, std::size_t capacity) {
  return {DecodeErrorKind::OutputTooLarge, position,
          "the output would exceed " + std::to_string(capacity) + " bytes (stream byte " + HexOffset(position) + ")"};
}

}  // namespace quarvel
