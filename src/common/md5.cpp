#include "common/md5.h"

#include <algorithm>
#include <array>
#include <bit>

namespace quarvel {
namespace {

// The rotations of each round's four steps.
constexpr std::uint32_t kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The step constants: the integer part of 2^32 |sin(i + 1)|.
constexpr std::uint32_t kSines[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

// Folds one 64-byte block into the state.
void Digest(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
  std::uint32_t words[16];
  for (std::size_t i = 0; i < 16; ++i)
    words[i] = std::uint32_t{block[4 * i]} | std::uint32_t{block[4 * i + 1]} << 8 | std::uint32_t{block[4 * i + 2]} << 16 |
               std::uint32_t{block[4 * i + 3]} << 24;
  auto [a, b, c, d] = state;
  for (std::uint32_t i = 0; i < 64; ++i) {
    std::uint32_t f = 0, word = 0;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d), word = i; break;
      case 1: f = (d & b) | (~d & c), word = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d, word = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d), word = 7 * i % 16; break;
    }
    const std::uint32_t sum = a + f + kSines[i] + words[word];
    a = d, d = c, c = b;
    b += std::rotl(sum, static_cast<int>(kShifts[i / 16][i % 4]));
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d;
}

}  // namespace

std::string Md5Text(std::span<const std::uint8_t> bytes) {
  std::array<std::uint32_t, 4> state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  const std::size_t whole = bytes.size() / 64 * 64;
  for (std::size_t at = 0; at < whole; at += 64) Digest(state, bytes.data() + at);
  // The rest, a 1 bit, zeros to 56 bytes of a block, then the length in bits (little-endian).
  std::array<std::uint8_t, 128> tail{};
  const std::size_t rest = bytes.size() - whole;
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(whole), bytes.end(), tail.begin());
  tail[rest] = 0x80;
  const std::size_t tailSize = rest < 56 ? 64 : 128;
  const std::uint64_t bits = std::uint64_t{bytes.size()} * 8;
  for (std::size_t i = 0; i < 8; ++i) tail[tailSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  for (std::size_t at = 0; at < tailSize; at += 64) Digest(state, tail.data() + at);

  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint32_t word : state)
    for (std::size_t i = 0; i < 4; ++i) text += {kDigits[word >> (8 * i + 4) & 0xF], kDigits[word >> (8 * i) & 0xF]};
  return text;
}

}  // namespace quarvel
