// The games' own Saxman compressor: a greedy parse whose matches come from a binary
// search tree of candidate positions, keyed by their next 18 bytes.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "encoders/saxman_compressor.h"
#include "encoders/saxman_writer.h"

namespace quarvel {
namespace {

constexpr std::int32_t kKey = 18;            // bytes of a key, the longest copy
constexpr std::int32_t kLeaves = 4079;       // a position leaves the tree this far behind the parse
constexpr std::int32_t kNone = INT32_MIN;    // no node
constexpr std::int32_t kTop = INT32_MIN + 1;  // the parent of a root
constexpr std::int32_t kOut = INT32_MIN + 2;  // the parent of a position not in the tree

// The eight bytes at `at` as a big-endian number: of two, the larger is the later in
// byte order.
std::uint64_t BigEndian(const std::uint8_t* at) {
  std::uint64_t value = 0;
  for (int k = 0; k < 8; ++k) value = value << 8 | at[k];
  return value;
}

// How many leading bytes two keys share, 0 to 18, and whether the first is the later
// in byte order: eight bytes at a time, in registers.
struct Comparison {
  std::int32_t shared;
  bool later;
};
Comparison Compare(const std::uint8_t* a, const std::uint8_t* b) {
  const std::uint64_t a0 = BigEndian(a), b0 = BigEndian(b), a1 = BigEndian(a + 8), b1 = BigEndian(b + 8);
  if (a0 != b0) return {std::countl_zero(a0 ^ b0) / 8, a0 > b0};
  if (a1 != b1) return {8 + std::countl_zero(a1 ^ b1) / 8, a1 > b1};
  const std::uint32_t a2 = a[16] << 8 | a[17], b2 = b[16] << 8 | b[17];
  return {16 + (std::countl_zero(a2 ^ b2) - 16) / 8, a2 > b2};
}

// The candidates in the tree, as the games' compressor kept them: a tree for each first
// byte; a position whose key equals a node's takes that node's place.
class CandidateTree {
 public:
  // Starts over for `data`: no candidate yet.
  void Reset(std::span<const std::uint8_t> data) {
    const auto n = static_cast<std::int32_t>(data.size());
    // B(-18) .. B(n + 16): zeros before the start; past the end, the bytes 4096 before, or zeros.
    bytes_.assign(static_cast<std::size_t>(kKey + n + kKey - 1), 0);
    std::copy(data.begin(), data.end(), bytes_.begin() + kKey);
    for (std::int32_t i = std::max(n, 4096); i < n + kKey - 1; ++i)
      bytes_[static_cast<std::size_t>(kKey + i)] = data[static_cast<std::size_t>(i - 4096)];
    roots_.fill(kNone);
  }

  struct Found {
    std::int32_t length = 0;  // of the longest match met on the way
    std::int32_t node = kNone;
  };
  // Puts `q` in the tree, and returns the first node of the longest match on its way.
  Found Insert(std::int32_t q) {
    const std::uint8_t* key = Key(q);
    Node& node = At(q);
    node.child = {kNone, kNone};
    std::int32_t parent = kTop;
    std::int32_t* link = &roots_[key[0]];
    Found found;
    for (std::int32_t p = *link; p != kNone; p = *link) {
      const std::uint8_t* other = Key(p);
      const auto [i, later] = Compare(key, other);
      // No branch (which is as good as random): a mask of all ones where this match is longer.
      const std::int32_t longer = -static_cast<std::int32_t>(i > found.length);
      found.node ^= (found.node ^ p) & longer;
      found.length = std::max(found.length, i);
      if (i == kKey) {  // the same key: q takes p's place
        node = At(p);
        for (const std::int32_t child : node.child)
          if (child != kNone) At(child).parent = q;
        *link = q;
        At(p).parent = kOut;
        return found;
      }
      parent = p;
      link = &At(p).child[later];  // no branch: which is as good as random
    }
    *link = q;
    node.parent = parent;
    return found;
  }

  // Takes `p` out of the tree, if it is there.
  void Delete(std::int32_t p) {
    Node& node = At(p);
    if (node.parent == kOut) return;
    if (node.left() == kNone) {
      Replace(p, node.right());
    } else if (node.right() == kNone) {
      Replace(p, node.left());
    } else {
      std::int32_t s = node.left();  // the largest of the left subtree
      while (At(s).right() != kNone) s = At(s).right();
      if (s != node.left()) {
        Replace(s, At(s).left());
        At(s).left() = node.left();
        At(node.left()).parent = s;
      }
      At(s).right() = node.right();
      At(node.right()).parent = s;
      Replace(p, s);
    }
    node.parent = kOut;
  }

 private:
  struct Node {
    std::int32_t parent;
    std::array<std::int32_t, 2> child;  // the smaller keys', the larger keys'
    std::int32_t& left() { return child[0]; }
    std::int32_t& right() { return child[1]; }
  };

  const std::uint8_t* Key(std::int32_t q) const { return bytes_.data() + (q + kKey); }
  // The positions in the tree lie within 4,079 of each other: a ring of nodes holds them.
  Node& At(std::int32_t q) { return nodes_[static_cast<std::size_t>(q + kKey) % nodes_.size()]; }

  // Puts `q` (or nothing) where `p` hangs in its tree.
  void Replace(std::int32_t p, std::int32_t q) {
    const std::int32_t parent = At(p).parent;
    if (parent == kTop)
      roots_[Key(p)[0]] = q;
    else
      (At(parent).left() == p ? At(parent).left() : At(parent).right()) = q;
    if (q != kNone) At(q).parent = parent;
  }

  std::vector<std::uint8_t> bytes_;
  std::array<std::int32_t, 256> roots_;
  std::array<Node, 4096> nodes_;
};

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressSaxmanAccurate(std::span<const std::uint8_t> data) {
  if (auto why = SaxmanDataTooLong(data.size()); !why.empty()) return Fail(std::move(why));
  thread_local CandidateTree tree;  // kept for the thread: no allocation but its keys' bytes
  tree.Reset(data);
  for (std::int32_t k = 1; k <= kKey; ++k) tree.Insert(-k);
  const auto n = static_cast<std::int32_t>(data.size());
  SaxmanWriter out(data.size());
  CandidateTree::Found found = n > 0 ? tree.Insert(0) : CandidateTree::Found{};
  for (std::int32_t x = 0; x < n;) {
    std::int32_t length = std::min(found.length, n - x);
    if (found.node < 0) {  // before the start, which decodes as zeros: only as many as the data holds
      std::int32_t zeros = 0;
      while (zeros < length && data[static_cast<std::size_t>(x + zeros)] == 0) ++zeros;
      length = zeros;
    }
    if (length <= 2) {
      out.Literal(data[static_cast<std::size_t>(x)]);
      length = 1;
    } else {
      out.Copy(found.node, static_cast<std::size_t>(length));
    }
    for (const std::int32_t next = x + length; x < next;) {
      ++x;
      if (x - kLeaves >= -kKey) tree.Delete(x - kLeaves);
      if (x < n) found = tree.Insert(x);
    }
  }
  return out.Finish();
}

}  // namespace quarvel
