#include "encoders/kosinski_matches.h"

#include <algorithm>

namespace quarvel {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr unsigned kHashBits = 15;
constexpr std::size_t kWindowMask = kKosinskiFarDistance - 1;

// Earlier positions whose first `width` bytes hash alike, nearest first, as far back
// as a copy reaches: the links live in a ring of 8,192, so a walk must stop at the
// first position farther back than that. Alike hashes are not always alike bytes.
class Chains {
 public:
  Chains(std::span<const std::uint8_t> data, unsigned width)
      : data_(data), width_(width), head_(1u << kHashBits, kNone), previous_(kKosinskiFarDistance, kNone) {}

  bool Keyed(std::size_t i) const { return i + width_ <= data_.size(); }
  std::uint32_t First(std::size_t i) const { return head_[Hash(i)]; }
  std::uint32_t Next(std::uint32_t j) const { return previous_[j & kWindowMask]; }
  void Add(std::size_t i) {
    if (!Keyed(i)) return;
    const unsigned hash = Hash(i);
    previous_[i & kWindowMask] = head_[hash];
    head_[hash] = static_cast<std::uint32_t>(i);
  }

 private:
  unsigned Hash(std::size_t i) const {
    std::uint32_t value = 0;
    for (unsigned k = 0; k < width_; ++k) value = value << 8 | data_[i + k];
    return (value * 2654435761u) >> (32 - kHashBits);
  }

  std::span<const std::uint8_t> data_;
  unsigned width_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t> previous_;
};

}  // namespace

std::vector<KosinskiMatch> FindKosinskiMatches(std::span<const std::uint8_t> data) {
  const std::size_t n = data.size();
  std::vector<KosinskiMatch> matches(n);
  Chains two(data, 2), three(data, 3), four(data, 4);

  // The longest match with `j` (nearest first) that beats `best`, or 0.
  auto longer = [&](std::size_t i, std::uint32_t j, std::size_t best, std::size_t limit) -> std::size_t {
    if (best >= limit || data[j + best] != data[i + best]) return 0;
    std::size_t length = 0;
    while (length < limit && data[j + length] == data[i + length]) ++length;
    return length > best ? length : 0;
  };

  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t limit = std::min<std::size_t>(kKosinskiMaxCopy, n - i);
    KosinskiMatch& match = matches[i];
    std::size_t best = 1;

    // Within 256 bytes every two-byte match is a candidate for an inline copy.
    if (two.Keyed(i)) {
      for (std::uint32_t j = two.First(i); j != kNone && i - j <= kKosinskiNearDistance; j = two.Next(j)) {
        if (const auto length = longer(i, j, best, limit)) {
          best = length;
          match.nearLength = static_cast<std::uint16_t>(length);
          match.nearDistance = static_cast<std::uint16_t>(i - j);
        }
      }
    }
    match.farLength = match.nearLength;
    match.farDistance = match.nearDistance;

    // Farther, a full copy takes 3 bytes or more: matches of 4 and more share their
    // first four bytes, matches of exactly 3 their first three.
    if (best < limit && four.Keyed(i)) {
      for (std::uint32_t j = four.First(i); j != kNone && i - j <= kKosinskiFarDistance; j = four.Next(j)) {
        const auto length = longer(i, j, std::max<std::size_t>(best, 3), limit);
        if (length == 0) continue;
        best = length;
        match.farLength = static_cast<std::uint16_t>(length);
        match.farDistance = static_cast<std::uint16_t>(i - j);
        if (best == limit) break;
      }
    }
    if (best < 3 && limit >= 3 && three.Keyed(i)) {
      for (std::uint32_t j = three.First(i); j != kNone && i - j <= kKosinskiFarDistance; j = three.Next(j)) {
        if (longer(i, j, 2, 3) == 3) {
          match.farLength = 3;
          match.farDistance = static_cast<std::uint16_t>(i - j);
          break;
        }
      }
    }
    two.Add(i);
    three.Add(i);
    four.Add(i);
  }
  return matches;
}

}  // namespace quarvel
