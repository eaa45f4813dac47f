// Names compared as ASCII text, as the tool compares the names typed on its command line
// and the names of files.
#pragma once

#include <algorithm>
#include <string_view>

namespace quarvel {

inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace quarvel
