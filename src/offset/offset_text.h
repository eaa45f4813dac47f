// The text forms of a block offset, as typed in the window's offset fields,
// given to the command line, and stored in catalogue entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/expected.h"

namespace quarvel {

enum class Radix { Hex, Dec };

enum class OffsetTextError {
  Empty,       // nothing but blanks
  NotANumber,  // a character that the radix does not allow
  OutOfRange,  // hex above 32 bits, or decimal outside the signed 32-bit range
};

// Hex: blanks, then 1 or more hex digits of any case, then blanks; the 32-bit pattern
// read as signed (FFFFFFFF is -1). No sign, no 0x prefix, nothing above FFFFFFFF.
// Dec: blanks, an optional + or -, 1 or more digits, blanks; -2147483648 to 2147483647.
Expected<std::int32_t, OffsetTextError> ParseOffsetText(std::string_view text, Radix radix);

// Hex: the 32-bit pattern in upper-case digits without leading zeros (-1 gives FFFFFFFF).
// Dec: the signed value. Never fails.
std::string FormatOffsetText(std::int32_t offset, Radix radix);

// What went wrong with `text`, in English, for the command-line tool.
std::string DescribeOffsetTextError(OffsetTextError error, std::string_view text, Radix radix);

// An offset field's text after the radix switch from `from` to `to`. A text that is
// empty or one blank, or that does not parse in `from`, comes back unchanged.
std::string ConvertOffsetText(const std::string& text, Radix from, Radix to);

}  // namespace quarvel
