#include "encoders/saxman_compressor.h"

#include <algorithm>
#include <array>
#include <climits>

#include "encoders/saxman_writer.h"

namespace quarvel {
namespace {

constexpr std::int32_t kLongest = 18;
constexpr std::int32_t kShortest = 3;
constexpr std::int32_t kReach = 4095;  // the farthest back a copy reads
constexpr std::int32_t kNone = INT32_MIN;

struct Match {
  std::int32_t from = 0;
  std::int32_t length = 0;  // 0 when there is none of 3 bytes
};

// The longest match of each position (up to 18 bytes, within the decoder's reach): a
// binary tree of the positions ordered by their next 18 bytes, each new position made
// the root of its first two bytes' tree, so that every node is newer than those below
// it and the search stops at the first that is out of reach. The search passes the
// positions that come just before and after the new one in that order, which share the
// longest prefix with it.
std::vector<Match> LongestMatches(std::span<const std::uint8_t> data) {
  const auto n = static_cast<std::int32_t>(data.size());
  std::vector<std::uint8_t> bytes(data.begin(), data.end());
  bytes.resize(data.size() + kLongest, 0);  // past the end: zeros, which the lengths are cut before
  std::vector<std::int32_t> heads(65536, kNone);
  std::vector<std::array<std::int32_t, 2>> children(kReach + 1);  // [0] smaller, [1] larger keys
  std::vector<Match> matches(data.size());
  for (std::int32_t x = 0; x < n; ++x) {
    const std::uint8_t* key = &bytes[static_cast<std::size_t>(x)];
    auto& head = heads[static_cast<std::size_t>(key[0] << 8 | key[1])];
    std::int32_t p = head;
    head = x;
    std::int32_t* smaller = &children[static_cast<std::size_t>(x & kReach)][0];  // where the next smaller node hangs
    std::int32_t* larger = &children[static_cast<std::size_t>(x & kReach)][1];
    std::int32_t smallerLength = 0, largerLength = 0;  // prefixes shared with the nearest bounds
    Match& best = matches[static_cast<std::size_t>(x)];
    while (p >= x - kReach) {  // kNone too is out of reach
      const std::uint8_t* other = &bytes[static_cast<std::size_t>(p)];
      std::int32_t i = std::min(smallerLength, largerLength);
      while (i < kLongest && key[i] == other[i]) ++i;
      if (i > best.length) best = {p, i};
      auto& below = children[static_cast<std::size_t>(p & kReach)];
      if (i == kLongest) {  // the same key: x takes p's place
        *smaller = below[0];
        *larger = below[1];
        break;
      }
      if (other[i] < key[i]) {
        *smaller = p;
        smaller = &below[1];
        smallerLength = i;
      } else {
        *larger = p;
        larger = &below[0];
        largerLength = i;
      }
      p = other[i] < key[i] ? below[1] : below[0];
    }
    if (p < x - kReach) *smaller = *larger = kNone;
    best.length = std::min(best.length, n - x);
    if (best.length < kShortest) best.length = 0;
  }
  return matches;
}

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressSaxman(std::span<const std::uint8_t> data) {
  if (auto why = SaxmanDataTooLong(data.size()); !why.empty()) return Fail(std::move(why));
  const auto n = static_cast<std::int32_t>(data.size());
  std::vector<Match> matches = LongestMatches(data);
  // Zero fills: while the decoder still reaches before the start, a copy from there
  // writes as many zeros as the data holds.
  for (std::int32_t x = std::min(n, kReach + kLongest) - 1, zeros = 0; x >= 0; --x) {
    zeros = data[static_cast<std::size_t>(x)] == 0 ? std::min(zeros + 1, kLongest) : 0;
    if (x < kReach && zeros >= kShortest && zeros > matches[static_cast<std::size_t>(x)].length)
      matches[static_cast<std::size_t>(x)] = {-1, zeros};
  }

  // The fewest bytes from each position to the end, for each count of commands already
  // in the current group (0: the next command begins a group, with its descriptor byte);
  // and the length of the command that takes it (1, a literal).
  using Lanes = std::array<std::uint32_t, 8>;
  std::vector<Lanes> rest(data.size() + 1, Lanes{});
  std::vector<std::array<std::uint8_t, 8>> taken(data.size());
  for (std::int32_t x = n - 1; x >= 0; --x) {
    Lanes best;
    auto& length = taken[static_cast<std::size_t>(x)];
    const Lanes& afterLiteral = rest[static_cast<std::size_t>(x + 1)];
    for (unsigned k = 0; k < 8; ++k) best[k] = afterLiteral[(k + 1) & 7] + 1, length[k] = 1;
    for (std::int32_t l = kShortest; l <= matches[static_cast<std::size_t>(x)].length; ++l) {
      const Lanes& after = rest[static_cast<std::size_t>(x + l)];
      for (unsigned k = 0; k < 8; ++k) {
        const std::uint32_t cost = after[(k + 1) & 7] + 2;
        if (cost < best[k]) best[k] = cost, length[k] = static_cast<std::uint8_t>(l);
      }
    }
    best[0] += 1;  // the descriptor
    rest[static_cast<std::size_t>(x)] = best;
  }

  SaxmanWriter out(data.size());
  for (std::int32_t x = 0, k = 0; x < n; k = (k + 1) & 7) {
    const std::int32_t length = taken[static_cast<std::size_t>(x)][static_cast<std::size_t>(k)];
    if (length == 1)
      out.Literal(data[static_cast<std::size_t>(x)]);
    else
      out.Copy(matches[static_cast<std::size_t>(x)].from, static_cast<std::size_t>(length));
    x += length;
  }
  return out.Finish();
}

}  // namespace quarvel
