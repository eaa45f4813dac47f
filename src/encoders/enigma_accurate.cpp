#include "encoders/enigma_accurate.h"

#include <algorithm>
#include <bit>
#include <optional>

#include "decoders/enigma.h"
#include "encoders/bit_writer.h"

namespace quarvel {
namespace {

constexpr std::size_t kMostCount = 16;
constexpr std::size_t kMostListed = 15;
constexpr std::uint16_t kTileIndex = 0x7FF;

// The words from `p` on that continue its run of equal, rising or falling words (the
// longest of the three, at most 16), stopping before `stop` when there is one.
std::size_t RunAt(std::span<const std::uint16_t> words, std::size_t p, std::optional<std::uint16_t> stop) {
  const std::size_t room = std::min(kMostCount, words.size() - p);
  std::size_t longest = 1;
  for (const int step : {0, 1, -1}) {
    std::size_t r = 1;
    while (r < room && words[p + r] == static_cast<std::uint16_t>(words[p] + step * static_cast<int>(r)) &&
           words[p + r] != stop)
      ++r;
    longest = std::max(longest, r);
  }
  return longest;
}

}  // namespace

EnigmaHeader AccurateEnigmaHeader(std::span<const std::uint16_t> words) {
  EnigmaHeader header;
  unsigned largestIndex = 0;
  std::optional<std::uint16_t> smallestWithIndex;
  for (const auto word : words) {
    header.mask |= word >> 11;
    largestIndex = std::max(largestIndex, word & unsigned{kTileIndex});
    if ((word & kTileIndex) != 0 && (!smallestWithIndex || word < *smallestWithIndex)) smallestWithIndex = word;
  }
  header.lowBits = static_cast<unsigned>(std::bit_width(largestIndex));
  // The most frequent word, the smallest of equals: counted word by word, the counts
  // back to 0 after.
  thread_local std::vector<std::uint32_t> counts(std::size_t{1} << 16, 0);
  std::size_t mostCount = 0;
  for (const auto word : words) {
    const std::size_t count = ++counts[word];
    if (count > mostCount || (count == mostCount && word < header.literal)) mostCount = count, header.literal = word;
  }
  for (const auto word : words) counts[word] = 0;
  header.incrementing = words.front();
  if (smallestWithIndex && words.front() != static_cast<std::uint16_t>(*smallestWithIndex - 1))
    header.incrementing = *smallestWithIndex;
  return header;
}

Expected<std::vector<std::uint8_t>, std::string> CompressEnigmaAccurate(std::span<const std::uint8_t> data) {
  if (data.empty() || data.size() % 2 != 0 || data.size() > kEnigmaCapacity) {
    return Fail("the data has " + std::to_string(data.size()) +
                " bytes; Enigma takes a list of 16-bit words: an even number of bytes, 2 to 65,536");
  }
  std::vector<std::uint16_t> words;
  for (std::size_t at = 0; at < data.size(); at += 2) words.push_back(static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]));
  auto block = AccurateEnigmaStream(words, AccurateEnigmaHeader(words));
  if (block.size() % 2 != 0) block.push_back(0);
  return block;
}

std::vector<std::uint8_t> AccurateEnigmaStream(std::span<const std::uint16_t> words, const EnigmaHeader& header) {
  const std::uint16_t literal = header.literal;
  std::uint16_t incrementing = header.incrementing;

  std::vector<std::uint8_t> block{static_cast<std::uint8_t>(header.lowBits), static_cast<std::uint8_t>(header.mask),
                                  static_cast<std::uint8_t>(incrementing >> 8), static_cast<std::uint8_t>(incrementing),
                                  static_cast<std::uint8_t>(literal >> 8), static_cast<std::uint8_t>(literal)};
  BitWriter out(block);
  const auto putInline = [&](std::uint16_t word) {
    for (int flag = 4; flag >= 0; --flag)
      if ((header.mask >> flag & 1u) != 0) out.Put(word >> (11 + flag) & 1u, 1);
    out.Put(word & ((1u << header.lowBits) - 1), header.lowBits);
  };
  const std::size_t n = words.size();
  for (std::size_t p = 0; p < n;) {
    const std::size_t room = std::min(kMostCount, n - p);
    std::size_t count = 1;
    if (words[p] == incrementing) {
      while (count < room && words[p + count] == static_cast<std::uint16_t>(incrementing + count)) ++count;
      out.Put(0b000000 | (count - 1), 6);
      incrementing = static_cast<std::uint16_t>(incrementing + count);
    } else if (words[p] == literal) {
      while (count < room && words[p + count] == literal) ++count;
      out.Put(0b010000 | (count - 1), 6);
    } else if (const std::size_t run = RunAt(words, p, incrementing); run >= 2) {
      count = run;
      const unsigned kind = words[p + 1] == words[p] ? 0b00 : words[p + 1] == static_cast<std::uint16_t>(words[p] + 1) ? 0b01 : 0b10;
      out.Put(0b1000000 | kind << 4 | (count - 1), 7);
      putInline(words[p]);
    } else if (p + 1 == n || words[p + 1] == incrementing) {
      out.Put(0b1000000, 7);
      putInline(words[p]);
    } else {
      // A list stops before a word that another entry takes better.
      const auto ends = [&](std::size_t q) {
        return words[q] == incrementing || (words[q] == literal && q + 1 < n && words[q + 1] == literal) ||
               RunAt(words, q, std::nullopt) >= 3;
      };
      while (count < kMostListed && p + count < n && !ends(p + count)) ++count;
      out.Put(0b1110000 | (count - 1), 7);
      for (std::size_t k = 0; k < count; ++k) putInline(words[p + k]);
    }
    p += count;
  }
  out.Put(0b1111111, 7);
  return block;
}

}  // namespace quarvel
