#include "encoders/kosinski_matches.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quarvel {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;

// How far the bytes at `from` and at `at` agree, up to `limit`, knowing the first `known`.
std::size_t MatchLength(std::span<const std::uint8_t> data, std::size_t from, std::size_t at, std::size_t known,
                        std::size_t limit) {
  std::size_t length = known;
  for (; length + 8 <= limit; length += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, &data[from + length], 8);
    std::memcpy(&b, &data[at + length], 8);
    if (a != b) {
      const auto differ = a ^ b;
      const int agreeingBits =
          std::endian::native == std::endian::little ? std::countr_zero(differ) : std::countl_zero(differ);
      return length + static_cast<std::size_t>(agreeingBits) / 8;
    }
  }
  while (length < limit && data[from + length] == data[at + length]) ++length;
  return length;
}

// The earlier positions that begin with the same two bytes, as a binary search tree of
// the text that follows each (up to a copy's longest), where every node is nearer than
// the nodes below it. The search for a position walks down to where it belongs, and
// the tree is split around it on the way so that it becomes the new root. Whatever
// position matches it longest, the nearest of those is on that walk: any node between
// it and the new one in the tree's order would match as long and be nearer, and so
// would sit above it. A node that matches as far as a copy from i can reach is not
// ordered against it: i, nearer, takes its place (a later position reaches no farther).
class SuffixTrees {
 public:
  // Children live in a ring twice the window's size, so that a node's children are
  // still its own for as long as a copy reaches back to it.
  static constexpr std::size_t kRing = 2 * kKosinskiFarDistance;

  SuffixTrees() : root_(1u << 16, kNone), smaller_(kRing), larger_(kRing) {}

  // Adds position i (two bytes at least before the end) and gives its matches.
  KosinskiMatch Insert(std::span<const std::uint8_t> data, std::size_t i) {
    const std::size_t limit = std::min<std::size_t>(kKosinskiMaxCopy, data.size() - i);
    std::uint32_t& root = root_[data[i] << 8 | data[i + 1]];
    std::uint32_t node = root;
    root = static_cast<std::uint32_t>(i);

    KosinskiMatch match;
    std::size_t nearest = 1, longest = 1;
    std::uint32_t* smallerSlot = &smaller_[i % kRing];  // where the next node found below i goes
    std::uint32_t* largerSlot = &larger_[i % kRing];    // and above it
    std::size_t smallerLength = 2, largerLength = 2;    // how far the bounds found so far match i
    for (;;) {
      if (node == kNone || i - node > kKosinskiFarDistance) {
        *smallerSlot = *largerSlot = kNone;
        break;
      }
      const std::size_t length = MatchLength(data, node, i, std::min(smallerLength, largerLength), limit);
      const auto distance = static_cast<std::uint16_t>(i - node);
      if (length > nearest && distance <= kKosinskiNearDistance) {
        nearest = length;
        match.nearLength = static_cast<std::uint16_t>(length);
        match.nearDistance = distance;
      }
      if (length > longest) {
        longest = length;
        match.farLength = static_cast<std::uint16_t>(length);
        match.farDistance = distance;
      }
      if (length == limit) {
        *smallerSlot = smaller_[node % kRing];
        *largerSlot = larger_[node % kRing];
        break;
      }
      if (data[node + length] < data[i + length]) {
        *smallerSlot = node;
        smallerSlot = &larger_[node % kRing];
        smallerLength = length;
        node = *smallerSlot;
      } else {
        *largerSlot = node;
        largerSlot = &smaller_[node % kRing];
        largerLength = length;
        node = *largerSlot;
      }
    }
    // A full copy takes 3 bytes or more: a longest match of 2 is only the inline one.
    if (match.farLength < 3) {
      match.farLength = match.nearLength;
      match.farDistance = match.nearDistance;
    }
    return match;
  }

 private:
  std::vector<std::uint32_t> root_;
  std::vector<std::uint32_t> smaller_;
  std::vector<std::uint32_t> larger_;
};

}  // namespace

std::vector<KosinskiMatch> FindKosinskiMatches(std::span<const std::uint8_t> data) {
  std::vector<KosinskiMatch> matches(data.size());
  SuffixTrees trees;
  for (std::size_t i = 0; i + 2 <= data.size(); ++i) matches[i] = trees.Insert(data, i);
  return matches;
}

}  // namespace quarvel
