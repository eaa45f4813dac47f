#include "encoders/kosinski_accurate.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "decoders/kosinski.h"
#include "encoders/kosinski_writer.h"

namespace quarvel {
namespace {

constexpr std::size_t kRing = 8192;
constexpr std::size_t kWindow = kRing - 253;  // how far back a match may start
constexpr std::size_t kLongest = 253;
constexpr std::size_t kNoOpAt = 0xA000;
constexpr std::size_t kPadding = 16;
constexpr std::uint32_t kNone = UINT32_MAX;

}  // namespace

KosinskiGreedyParse::KosinskiGreedyParse(std::span<const std::uint8_t> data, bool whole)
    : data_(data),
      whole_(whole),
      head_(std::bit_ceil(std::clamp<std::size_t>(2 * data.size(), 64, 65536)), kNone),
      previous_(data.size(), kNone),
      head3_(head_.size(), kNone),
      previous3_(data.size(), kNone) {}

// The data as the compressor's ring buffer shows it: past the end, the bytes of 8 KiB
// before, or the zeros it started with.
std::uint8_t KosinskiGreedyParse::At(std::size_t at) const {
  if (at < data_.size()) return data_[at];
  return at >= kRing ? data_[at - kRing] : 0;
}

unsigned KosinskiGreedyParse::PairAt(std::size_t at) const { return unsigned{At(at)} << 8 | At(at + 1); }
unsigned KosinskiGreedyParse::TripleAt(std::size_t at) const { return PairAt(at) << 8 | At(at + 2); }

// How far the bytes from `q` agree with those from `p` (q < p), 2 to kLongest, their
// first two known to: eight at a time while both stay inside the data, then through At.
std::size_t KosinskiGreedyParse::MatchLength(std::size_t q, std::size_t p) const {
  std::size_t length = 2;
  const std::size_t inside = std::min(kLongest, data_.size() - p);
  for (; length + 8 <= inside; length += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, data_.data() + q + length, 8);
    std::memcpy(&b, data_.data() + p + length, 8);
    if (const std::uint64_t differ = a ^ b; differ != 0) {
      const int bits = std::endian::native == std::endian::little ? std::countr_zero(differ) : std::countl_zero(differ);
      return length + static_cast<std::size_t>(bits) / 8;
    }
  }
  while (length < kLongest && At(q + length) == At(p + length)) ++length;
  return length;
}

std::optional<KosinskiCommand> KosinskiGreedyParse::Next() {
  const std::size_t n = data_.size(), p = position_;
  if (p >= n || (!whole_ && p + kLongest > n)) return std::nullopt;
  if (p >= kNoOpAt && !noOpWritten_) {
    noOpWritten_ = true;
    return KosinskiCommand{0, 512};
  }
  const std::size_t mask = head_.size() - 1;
  const auto hash3 = [mask](unsigned triple) { return (triple * 0x9E3779B1u) >> 8 & mask; };
  for (; added_ + 1 < n && added_ < p; ++added_) {
    const std::size_t hash = PairAt(added_) & mask, hash3At = hash3(TripleAt(added_));
    previous_[added_] = head_[hash];
    head_[hash] = static_cast<std::uint32_t>(added_);
    previous3_[added_] = head3_[hash3At];
    head3_[hash3At] = static_cast<std::uint32_t>(added_);
  }
  // The longest match of 3 bytes or more, the nearest of equal ones, among the positions
  // whose first three bytes agree; else the nearest whose first two do.
  const unsigned triple = TripleAt(p);
  KosinskiCommand best{1, 0};
  std::uint8_t afterBest = 0;  // the byte at the best match's length, once there is one
  for (std::uint32_t q = head3_[hash3(triple)]; q != kNone && p - q <= kWindow; q = previous3_[q]) {
    if (TripleAt(q) != triple) continue;  // another triple of the same hash
    // A farther match replaces the best only when longer: it must agree at the best's length.
    if (best.distance != 0 && At(q + best.length) != afterBest) continue;
    const std::size_t length = MatchLength(q, p);
    if (length > best.length || best.distance == 0) {
      best = {length, p - q};
      afterBest = At(p + length);
    }
    if (length == kLongest) break;
  }
  const unsigned pair = triple >> 8;
  for (std::uint32_t q = head_[pair & mask]; best.distance == 0 && q != kNone && p - q <= kWindow; q = previous_[q])
    if (PairAt(q) == pair) best = {2, p - q};
  best.length = std::min(best.length, n - p);
  if (best.distance != 0 && (best.length < 2 || (best.length == 2 && best.distance > 255))) best = {1, 0};
  position_ += best.length;
  return best;
}

Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiAccurate(std::span<const std::uint8_t> data) {
  if (data.empty()) return Fail(std::string("the data is empty; a Kosinski block holds 1 to 65,536 bytes"));
  if (data.size() > kKosinskiCapacity) {
    return Fail("the data has " + std::to_string(data.size()) + " bytes; a Kosinski block holds at most 65,536");
  }
  KosinskiGreedyParse parse(data, true);
  KosinskiWriter out;
  for (std::size_t p = 0; const auto command = parse.Next(); p = parse.Position()) {
    const auto [length, distance] = *command;
    if (length == 0)
      out.EmptyCopy(static_cast<unsigned>(distance));  // the bytes 00 F0 01
    else if (distance == 0)
      out.Literal(data[p]);
    else if (distance <= 255 && length <= 5)
      out.InlineCopy(static_cast<unsigned>(distance), static_cast<unsigned>(length));
    else
      out.FullCopy(static_cast<unsigned>(distance), static_cast<unsigned>(length));
  }
  std::vector<std::uint8_t> stream = out.Finish();
  stream.resize((stream.size() + kPadding - 1) / kPadding * kPadding, 0);
  return stream;
}

}  // namespace quarvel
