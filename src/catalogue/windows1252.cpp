#include "catalogue/windows1252.h"

#include <algorithm>
#include <array>

namespace quarvel {
namespace {

// Code points of bytes 80-9F; A0-FF are the same numbers as the bytes.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kNotACharacter = 0xFFFFFFFF;

char32_t ToCodePoint(std::uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte; }

void AppendUtf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else if (c < 0x800) {
    text += static_cast<char>(0xC0 | c >> 6);
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    text += static_cast<char>(0xE0 | c >> 12);
    text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::uint8_t ToByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
  const auto found = std::find(kHighControls.begin(), kHighControls.end(), c);
  return found == kHighControls.end() ? '?' : static_cast<std::uint8_t>(0x80 + (found - kHighControls.begin()));
}

// The code point at `text[i]`, and the bytes it takes. A malformed sequence (an
// overlong form, a surrogate, past U+10FFFF, cut short) is one byte that stands for
// no character.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 && lead < 0xF0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || i + length > text.size()) return {kNotACharacter, 1};
  char32_t c = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return {kNotACharacter, 1};
    c = c << 6 | (next & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {kNotACharacter, 1};
  return {c, length};
}

}  // namespace

std::string Windows1252ToUtf8(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const auto byte : bytes) AppendUtf8(text, ToCodePoint(byte));
  return text;
}

std::vector<std::uint8_t> Utf8ToWindows1252(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto [c, length] = DecodeUtf8(text, i);
    bytes.push_back(ToByte(c));
    i += length;
  }
  return bytes;
}

std::optional<std::string> FirstCharacterNotInWindows1252(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto [c, length] = DecodeUtf8(text, i);
    if (c == kNotACharacter) return std::string("\xEF\xBF\xBD");
    if (c != '?' && ToByte(c) == '?') return std::string(text.substr(i, length));
    i += length;
  }
  return std::nullopt;
}

std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t n = 0; n < count && end < text.size(); ++n) end += DecodeUtf8(text, end).second;
  return text.substr(0, end);
}

}  // namespace quarvel
