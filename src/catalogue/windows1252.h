// The catalogue files' 8-bit text: Windows-1252 on disk, UTF-8 in the program.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarvel {

// Every byte has a character: the five that Windows-1252 leaves undefined (81, 8D, 8F,
// 90, 9D) become the control characters of the same number, so that any file read
// and written back keeps its bytes.
std::string Windows1252ToUtf8(std::span<const std::uint8_t> bytes);

// A character that Windows-1252 cannot hold, or a byte that is not UTF-8, becomes "?".
std::vector<std::uint8_t> Utf8ToWindows1252(std::string_view text);

// The first character of `text` that Windows-1252 cannot hold, as UTF-8 ("Ω"); U+FFFD
// for bytes that are not UTF-8. Nothing when every character fits.
std::optional<std::string> FirstCharacterNotInWindows1252(std::string_view text);

// Splits UTF-8 text into characters (code points): the first `count` of them.
std::string_view FirstCharacters(std::string_view text, std::size_t count);

}  // namespace quarvel
