#include "offset/offset_text.h"


namespace quarvel {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

Expected<std::int32_t, OffsetTextError> ParseHex(std::string_view digits) {
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return Fail(OffsetTextError::NotANumber);
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFF'FFFFu) {
      // Keep scanning so that a stray character is reported as such, not as a range error.
      for (const char rest : digits)
        if (HexDigitValue(rest) < 0) return Fail(OffsetTextError::NotANumber);
      return Fail(OffsetTextError::OutOfRange);
    }
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

Expected<std::int32_t, OffsetTextError> ParseDec(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return Fail(OffsetTextError::NotANumber);
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  bool tooLarge = false;
  for (const char c : text) {
    if (c < '0' || c > '9') return Fail(OffsetTextError::NotANumber);
    if (!tooLarge) magnitude = magnitude * 10 + (c - '0');
    tooLarge = tooLarge || magnitude > limit;
  }
  if (tooLarge) return Fail(OffsetTextError::OutOfRange);
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

Expected<std::int32_t, OffsetTextError> ParseOffsetText(std::string_view text, Radix radix) {
  const std::string_view number = TrimBlanks(text);
  if (number.empty()) return Fail(OffsetTextError::Empty);
  return radix == Radix::Hex ? ParseHex(number) : ParseDec(number);
}

std::string FormatOffsetText(std::int32_t offset, Radix radix) {
  if (radix == Radix::Dec) return std::to_string(offset);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto pattern = static_cast<std::uint32_t>(offset);
  std::string text;
  do {
    text.insert(text.begin(), kDigits[pattern & 0xF]);
    pattern >>= 4;
  } while (pattern != 0);
  return text;
}

std::string DescribeOffsetTextError(OffsetTextError error, std::string_view text, Radix radix) {
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  switch (error) {
    case OffsetTextError::Empty:
      return "the offset is empty";
    case OffsetTextError::NotANumber:
      return radix == Radix::Hex
                 ? "the offset " + quoted + " is not a hexadecimal number (digits 0-9 and A-F, after 0x or $ or alone; no sign)"
                 : "the offset " + quoted + " is not a decimal number (an optional sign and digits 0-9)";
    case OffsetTextError::OutOfRange:
      return radix == Radix::Hex ? "the offset " + quoted + " does not fit in 32 bits (at most FFFFFFFF)"
                                 : "the offset " + quoted + " is outside -2147483648 to 2147483647";
  }
  return "the offset " + quoted + " is invalid";
}

std::string ConvertOffsetText(const std::string& text, Radix from, Radix to) {
  if (text.empty() || text == " ") return text;
  const auto offset = ParseOffsetText(text, from);
  return offset ? FormatOffsetText(*offset, to) : text;
}

}  // namespace quarvel
