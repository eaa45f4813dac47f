#include "encoders/kosinski_accurate.h"

#include <algorithm>
#include <array>
#include <memory>

#include "decoders/kosinski.h"
#include "encoders/kosinski_writer.h"

namespace quarvel {
namespace {

constexpr std::size_t kRing = 8192;
constexpr std::size_t kWindow = kRing - 253;  // how far back a match may start
constexpr std::size_t kLongest = 253;
constexpr std::size_t kNoOpAt = 0xA000;
constexpr std::size_t kPadding = 16;

// The data as the compressor's ring buffer shows it: past the end, the bytes of 8 KiB
// before, or the zeros it started with.
class RingView {
 public:
  explicit RingView(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint8_t operator[](std::size_t at) const {
    if (at < data_.size()) return data_[at];
    return at >= kRing ? data_[at - kRing] : 0;
  }

 private:
  std::span<const std::uint8_t> data_;
};

struct Match {
  std::size_t length = 0;
  std::size_t distance = 0;
};

// Positions by their first two bytes, nearest first: the search of the games' compressor.
class PairChains {
 public:
  explicit PairChains(std::size_t size) : previous_(size) { head_.fill(kNone); }
  void Add(std::size_t position, unsigned pair) {
    previous_[position] = head_[pair];
    head_[pair] = position;
  }
  std::size_t First(unsigned pair) const { return head_[pair]; }
  std::size_t Next(std::size_t position) const { return previous_[position]; }
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

 private:
  std::array<std::size_t, 65536> head_;
  std::vector<std::size_t> previous_;
};

}  // namespace

Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiAccurate(std::span<const std::uint8_t> data) {
  if (data.empty()) return Fail(std::string("the data is empty; a Kosinski block holds 1 to 65,536 bytes"));
  if (data.size() > kKosinskiCapacity) {
    return Fail("the data has " + std::to_string(data.size()) + " bytes; a Kosinski block holds at most 65,536");
  }
  const std::size_t n = data.size();
  const RingView ring(data);
  const auto pairAt = [&ring](std::size_t at) { return unsigned{ring[at]} << 8 | ring[at + 1]; };
  auto chains = std::make_unique<PairChains>(n);
  std::size_t added = 0;  // positions before this one are in the chains
  KosinskiWriter out;
  bool noOpWritten = false;
  for (std::size_t p = 0; p < n;) {
    for (; added + 1 < n && added < p; ++added) chains->Add(added, pairAt(added));
    Match best;
    for (std::size_t q = chains->First(pairAt(p)); q != PairChains::kNone && p - q <= kWindow; q = chains->Next(q)) {
      std::size_t length = 2;
      while (length < kLongest && ring[q + length] == ring[p + length]) ++length;
      if (length > best.length) best = {length, p - q};
      if (length == kLongest) break;
    }
    best.length = std::min(best.length, n - p);
    if (p >= kNoOpAt && !noOpWritten) {
      out.EmptyCopy(512);  // the bytes 00 F0 01
      noOpWritten = true;
    }
    const auto [length, distance] = best;
    if (length < 2 || (length == 2 && distance > 255)) {
      out.Literal(data[p]);
      ++p;
      continue;
    }
    if (distance <= 255 && length <= 5)
      out.InlineCopy(static_cast<unsigned>(distance), static_cast<unsigned>(length));
    else
      out.FullCopy(static_cast<unsigned>(distance), static_cast<unsigned>(length));
    p += length;
  }
  std::vector<std::uint8_t> stream = out.Finish();
  stream.resize((stream.size() + kPadding - 1) / kPadding * kPadding, 0);
  return stream;
}

}  // namespace quarvel
