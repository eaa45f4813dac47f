#include "encoders/nemesis_accurate.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "decoders/nemesis.h"
#include "encoders/bit_writer.h"
#include "encoders/nemesis_stretches.h"

namespace quarvel {
namespace {

constexpr unsigned kMaxCodeLength = 8;
constexpr std::uint64_t kCandidateCount = 3;  // a pair occurs this often to get a code

struct Symbol {
  std::uint8_t pixel;
  std::uint8_t length;  // 1 to 8
  unsigned Index() const { return pixel * 8u + length - 1u; }
};

// The pixels as maximal runs of one value (see NemesisStretches) cut into pieces of 8,
// the remainder last.
std::vector<Symbol> Symbols(std::span<const std::uint8_t> tiles, bool xorMode) {
  std::vector<Symbol> symbols;
  for (auto [pixel, run] : NemesisStretches(tiles, xorMode)) {
    for (; run > 8; run -= 8) symbols.push_back({pixel, 8});
    symbols.push_back({pixel, static_cast<std::uint8_t>(run)});
  }
  return symbols;
}

// Codes for candidates [lo, hi) by halving their weights, as the games' compressor did.
void Split(const std::vector<std::uint64_t>& weights, std::size_t lo, std::size_t hi, std::string code,
           std::vector<std::string>& codes) {
  if (code == "11111") code = "111110";
  if (hi - lo == 1) {
    if (code.find('0') == std::string::npos) code += '0';  // empty, or all 1s
    codes[lo] = code;
    return;
  }
  const std::uint64_t half = std::accumulate(weights.begin() + static_cast<std::ptrdiff_t>(lo),
                                             weights.begin() + static_cast<std::ptrdiff_t>(hi), std::uint64_t{0}) /
                             2;
  std::size_t split = lo + 1;
  std::uint64_t bestGap = UINT64_MAX, sum = 0;
  for (std::size_t k = lo + 1; k < hi; ++k) {
    sum += weights[k - 1];
    const std::uint64_t gap = sum > half ? sum - half : half - sum;
    if (gap <= bestGap) bestGap = gap, split = k;  // on a tie, the larger k
  }
  Split(weights, lo, split, code + '0', codes);
  Split(weights, split, hi, code + '1', codes);
}

struct Block {
  std::vector<std::uint8_t> bytes;
  std::uint64_t length = 0;  // header, table and stream, without the stream's extra zero byte
};

// The header and the code table for `codes`, and `tiles` tiles.
std::vector<std::uint8_t> Head(std::size_t tiles, bool xorMode, const std::array<std::string, 128>& codes) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>((xorMode ? 0x80 : 0) | tiles >> 8),
                                static_cast<std::uint8_t>(tiles & 0xFF)};
  int pixel = -1;
  for (unsigned index = 0; index < 128; ++index) {  // by pixel, then run length
    const std::string& code = codes[index];
    if (code.empty()) continue;
    if (static_cast<int>(index / 8) != pixel) {
      pixel = static_cast<int>(index / 8);
      out.push_back(static_cast<std::uint8_t>(0x80 | pixel));
    }
    out.push_back(static_cast<std::uint8_t>((index % 8) << 4 | code.size()));
    out.push_back(static_cast<std::uint8_t>(std::stoul(code, nullptr, 2)));
  }
  out.push_back(0xFF);
  return out;
}

std::array<std::uint64_t, 128> Counts(const std::vector<Symbol>& symbols) {
  std::array<std::uint64_t, 128> count{};
  for (const auto& s : symbols) ++count[s.Index()];
  return count;
}

Block Compress(std::span<const std::uint8_t> tiles, bool xorMode) {
  const auto symbols = Symbols(tiles, xorMode);
  const auto codes = AccurateNemesisCodes(Counts(symbols));
  Block block;
  auto& out = block.bytes;
  out = Head(tiles.size() / kNemesisTileBytes, xorMode, codes);
  std::uint64_t bits = 0;
  BitWriter stream(out);
  for (const auto& s : symbols) {
    if (const std::string& code = codes[s.Index()]; !code.empty()) {
      stream.Put(static_cast<std::uint32_t>(std::stoul(code, nullptr, 2)), static_cast<unsigned>(code.size()));
      bits += code.size();
    } else {
      stream.Put(0b111111u << 7 | (s.length - 1u) << 4 | s.pixel, 13);
      bits += 13;
    }
  }
  block.length = out.size();
  if (bits % 8 == 0) out.push_back(0);  // a stream that fills its last byte gets one more
  return block;
}

}  // namespace

std::array<std::string, 128> AccurateNemesisCodes(const std::array<std::uint64_t, 128>& count) {
  // Candidates: by count, highest first; then by length, then by pixel.
  std::vector<unsigned> candidates;
  for (unsigned length = 1; length <= 8; ++length)
    for (unsigned pixel = 0; pixel < 16; ++pixel)
      if (count[pixel * 8 + length - 1] >= kCandidateCount) candidates.push_back(pixel * 8 + length - 1);
  std::stable_sort(candidates.begin(), candidates.end(), [&](unsigned a, unsigned b) { return count[a] > count[b]; });

  std::vector<std::string> codes(candidates.size());
  if (!candidates.empty()) {
    std::vector<std::uint64_t> weights;
    for (const auto c : candidates) weights.push_back(count[c]);
    Split(weights, 0, candidates.size(), "", codes);
  }
  // Shorter codes to the candidates first, by a selection pass; then the long ones go.
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::size_t shortest = i;
    for (std::size_t m = i + 1; m < codes.size(); ++m)
      if (codes[m].size() < codes[shortest].size()) shortest = m;
    std::swap(codes[i], codes[shortest]);
  }
  std::array<std::string, 128> codeOf;
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (codes[i].size() <= kMaxCodeLength) codeOf[candidates[i]] = std::move(codes[i]);
  return codeOf;
}

std::vector<std::uint8_t> AccurateNemesisHead(std::span<const std::uint8_t> tiles, bool xorMode) {
  return Head(tiles.size() / kNemesisTileBytes, xorMode, AccurateNemesisCodes(Counts(Symbols(tiles, xorMode))));
}

Expected<std::vector<std::uint8_t>, std::string> CompressNemesisAccurate(std::span<const std::uint8_t> tiles,
                                                                         bool evenLength) {
  if (tiles.size() % kNemesisTileBytes != 0) {
    return Fail("the data has " + std::to_string(tiles.size()) + " bytes, which is not a whole number of 32-byte tiles");
  }
  if (tiles.size() > kNemesisMaxTiles * kNemesisTileBytes) {
    return Fail("the data has " + std::to_string(tiles.size() / kNemesisTileBytes) + " tiles; Nemesis holds at most " +
                std::to_string(kNemesisMaxTiles));
  }
  Block plain = Compress(tiles, false), xorMode = Compress(tiles, true);
  std::vector<std::uint8_t> block = std::move(xorMode.length < plain.length ? xorMode.bytes : plain.bytes);
  if (evenLength && block.size() % 2 != 0) block.push_back(0);
  return block;
}

}  // namespace quarvel
