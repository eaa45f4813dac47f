// Why a block could not be extracted, and where.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "common/expected.h"

namespace quarvel {

enum class DecodeErrorKind {
  CannotOpenSource,        // the ROM image cannot be opened or read
  NegativeOffset,          // the offset is below 0
  OffsetBeyondEnd,         // the offset is at or past the end of the ROM image
  Truncated,               // the data ends before the block does
  OutputTooLarge,          // the block decodes to more than the format's capacity
  EmptyResult,             // the block decodes to nothing
  CopyBeforeStart,         // Kosinski: a copy from before the start of the output (a wrong offset)
  SourceIsDestination,     // writing would overwrite the ROM image
  CannotWriteDestination,  // the destination cannot be written
  MalformedCodeTable,      // Nemesis: a code reaches past the code table
  TooManyTiles,            // Nemesis: more tiles than the output can hold
  BadModule,               // Kosinski Moduled: a module stops early or decodes to the wrong size
  BadCopy,                 // Saxman: a copy reads the byte it writes, or the count ends inside one
};

struct DecodeError {
  DecodeErrorKind kind;
  std::uint64_t position = 0;  // the byte of the source where the failure was found
  std::string message;         // what went wrong and where, in English, without a final period
  std::error_code code{};                 // the system's reason, when a file failed
};

template <class T>
using DecodeResult = Expected<T, DecodeError>;

// "0x1A2B", the way offsets are shown in messages.
std::string HexOffset(std::uint64_t offset);

DecodeError NegativeOffsetError(std::int64_t offset);
DecodeError OffsetBeyondEndError(std::int64_t offset, std::uint64_t size);
DecodeError TruncatedError(std::uint64_t blockStart, std::uint64_t end, bool readFailed, std::string_view what);
DecodeError OutputTooLargeError(std::uint64_t position, std::size_t capacity);

}  // namespace quarvel
