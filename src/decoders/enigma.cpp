#include "decoders/enigma.h"

#include <bit>
#include <optional>
#include <memory>
#include <vector>

namespace quarvel {
namespace {

enum class Entry { Incrementing, Literal, Repeat, Rising, Falling, List, End };

struct Header {
  unsigned lowBits;
  unsigned mask;
  std::uint16_t incrementing;
  std::uint16_t literal;
};

// Reads the entries of a stream, most significant bit first.
template <class Source>
class EntryReader {
 public:
  EntryReader(Source& in, const Header& header)
      : in_(in), header_(header), flagCount_(static_cast<unsigned>(std::popcount(header.mask))) {}

  // The next entry's kind and count (1 to 16); false when the data ends first.
  bool Next(Entry& entry, unsigned& count) {
    std::uint32_t head;
    if (!Bits(1, head)) return false;
    if (head == 0) {
      if (!Bits(5, head)) return false;
      entry = (head & 0x10) == 0 ? Entry::Incrementing : Entry::Literal;
      count = (head & 0xF) + 1;
      return true;
    }
    if (!Bits(6, head)) return false;
    constexpr Entry kinds[] = {Entry::Repeat, Entry::Rising, Entry::Falling, Entry::List};
    entry = kinds[head >> 4];
    count = (head & 0xF) + 1;
    if (entry == Entry::List && count == 16) entry = Entry::End;
    return true;
  }

  bool Inline(std::uint16_t& value) {
    // The flag bits, read at once, the first for the highest flag set.
    std::uint32_t word = 0, flagBits = 0;
    unsigned flagsLeft = flagCount_;
    if (flagsLeft != 0 && !Bits(flagsLeft, flagBits)) return false;
    for (int flag = 4; flag >= 0; --flag)
      if ((header_.mask >> flag & 1u) != 0) word |= (flagBits >> --flagsLeft & 1u) << (11 + flag);
    std::uint32_t low = 0;
    for (unsigned left = header_.lowBits; left > 0;) {
      const unsigned take = std::min(left, 16u);
      std::uint32_t part;
      if (!Bits(take, part)) return false;
      low = (low << take | part) & 0xFFFF;
      left -= take;
    }
    value = static_cast<std::uint16_t>(word | low);
    return true;
  }

  std::uint64_t BitsTaken() const { return taken_; }
  // The bits left in the byte the stream stopped in.
  std::uint32_t RestOfByte() const { return count_ == 0 ? 0 : buffer_ & ((1u << count_) - 1); }

 private:
  bool Bits(unsigned n, std::uint32_t& value) {
    if (n <= count_) {  // the byte in hand holds them all
      count_ -= n;
      value = buffer_ >> count_ & ((1u << n) - 1);
      taken_ += n;
      return true;
    }
    value = 0;
    while (n > 0) {
      if (count_ == 0) {
        std::uint8_t byte;
        if (!in_.Next(byte)) return false;
        buffer_ = byte;
        count_ = 8;
      }
      const unsigned take = std::min(n, count_);
      value = value << take | (buffer_ >> (count_ - take) & ((1u << take) - 1));
      count_ -= take;
      n -= take;
      taken_ += take;
    }
    return true;
  }

  Source& in_;
  const Header& header_;
  unsigned flagCount_;  // the set bits of the mask
  std::uint32_t buffer_ = 0;
  unsigned count_ = 0;
  std::uint64_t taken_ = 0;
};

template <class Source>
std::optional<Header> ReadHeader(Source& in) {
  std::uint8_t bytes[kEnigmaHeaderBytes];
  for (auto& byte : bytes)
    if (!in.Next(byte)) return std::nullopt;
  return Header{bytes[0], bytes[1] & 0x1Fu, static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]),
                static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5])};
}

// Walks the entries of a stream, telling `write` each word (with its entry and its index
// in the entry; false stops the walk) and `seen` each entry once written.
enum class Ending { End, Truncated, Stopped };

template <class Source, class Write, class Seen>
Ending Walk(const Header& header, EntryReader<Source>& reader, Write write, Seen seen) {
  std::uint16_t incrementing = header.incrementing;
  for (;;) {
    Entry entry;
    unsigned count;
    if (!reader.Next(entry, count)) return Ending::Truncated;
    if (entry == Entry::End) return Ending::End;
    std::uint16_t value = 0;
    if (entry != Entry::Incrementing && entry != Entry::Literal && entry != Entry::List &&
        !reader.Inline(value))
      return Ending::Truncated;
    if (entry == Entry::List) {
      for (unsigned i = 0; i < count; ++i) {
        std::uint16_t word;
        if (!reader.Inline(word)) return Ending::Truncated;
        if (!write(entry, i, word)) return Ending::Stopped;
      }
    } else {
      // The other entries' words go up by a step from a first one (by 0: repeated).
      std::uint16_t first = value, step = 0;
      switch (entry) {
        case Entry::Incrementing:
          first = incrementing, step = 1;
          incrementing = static_cast<std::uint16_t>(incrementing + count);
          break;
        case Entry::Literal: first = header.literal; break;
        case Entry::Rising: step = 1; break;
        case Entry::Falling: step = 0xFFFF; break;
        case Entry::Repeat:
        case Entry::List:
        case Entry::End: break;
      }
      for (unsigned i = 0; i < count; ++i)
        if (!write(entry, i, static_cast<std::uint16_t>(first + step * i))) return Ending::Stopped;
    }
    seen(entry, count, value);
  }
}

template <class Source>
DecodeResult<DecodedBlock> Decode(Source& in) {
  const auto header = ReadHeader(in);
  if (!header) return Fail(EndOfData(in, "ends inside its header"));
  EntryReader<Source> reader(in, *header);
  // Room for the largest map, made once a thread and not cleared: only what is written is kept.
  thread_local const std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[kEnigmaCapacity]);
  std::size_t size = 0;
  const Ending ending = Walk(
      *header, reader,
      [&](Entry, unsigned, std::uint16_t word) {
        if (size == kEnigmaCapacity) return false;
        scratch[size++] = static_cast<std::uint8_t>(word >> 8);
        scratch[size++] = static_cast<std::uint8_t>(word);
        return true;
      },
      [](Entry, unsigned, std::uint16_t) {});
  std::vector<std::uint8_t> out(scratch.get(), scratch.get() + size);
  if (ending == Ending::Truncated) return Fail(EndOfData(in, "ends without its end entry"));
  if (ending == Ending::Stopped) return Fail(OutputTooLargeError(in.Position() - 1, kEnigmaCapacity));
  if (in.ReadFailed()) return Fail(EndOfData(in, "could not be read"));
  return DecodedBlock{std::move(out), kEnigmaHeaderBytes + (reader.BitsTaken() + 7) / 8, {}};
}

}  // namespace

DecodeResult<DecodedBlock> DecodeEnigma(ByteSource& source) { return Decode(source); }

DecodeResult<DecodedBlock> DecodeEnigma(std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return Decode(*in);
}

void AddBaseWord(std::span<std::uint8_t> words, std::uint16_t base) {
  for (std::size_t at = 0; at + 1 < words.size(); at += 2) {
    const auto word = static_cast<std::uint16_t>((words[at] << 8 | words[at + 1]) + base);
    words[at] = static_cast<std::uint8_t>(word >> 8);
    words[at + 1] = static_cast<std::uint8_t>(word);
  }
}

std::optional<EnigmaProbe> ProbeEnigma(std::span<const std::uint8_t> rom, std::size_t offset) {
  constexpr unsigned kMostOddities = 0;  // a stream with more is none an encoder wrote
  if (!EnigmaMayStartAt(rom, offset)) return std::nullopt;
  auto in = *SpanSource::Open(rom, static_cast<std::int64_t>(offset));
  const auto header = ReadHeader(in);
  if (!header) return std::nullopt;
  EntryReader<SpanSource> reader(in, *header);
  EnigmaProbe probe;
  std::size_t words = 0;
  // An encoder merges what one entry can hold and takes the cheaper entry for the same
  // words: an entry that the one before could have taken in, a list or a single word
  // whose first word the entry before could have gone on with, an inline repeat of the
  // literal word, a list of two equal or consecutive values: it does not write them.
  Entry previous = Entry::End;
  unsigned previousCount = 0;
  std::optional<std::uint16_t> wouldGoOn;  // the word the entry before could have taken next
  std::uint16_t first = 0, last = 0;
  unsigned largestIndex = 0, flags = 0;
  const Ending ending = Walk(
      *header, reader,
      [&](Entry entry, unsigned index, std::uint16_t word) {
        if (++words > kEnigmaCapacity / 2 || probe.oddities > kMostOddities) return false;
        if (entry == Entry::List || (index == 0 && entry != Entry::Incrementing && entry != Entry::Literal))
          ++probe.inlineFlags[word >> 11];
        if (index == 0) first = word;
        last = word;
        largestIndex = std::max(largestIndex, word & 0x7FFu);
        flags |= word >> 11;
        return true;
      },
      [&](Entry entry, unsigned count, std::uint16_t value) {
        ++probe.entries;
        const bool takenIn = wouldGoOn == first;
        const bool merges = takenIn || entry == Entry::Incrementing;  // an incrementing run goes on by itself
        if (entry == previous && entry != Entry::List && previousCount + count <= 16 && merges) ++probe.oddities;
        if (entry == previous && entry == Entry::List && previousCount + count <= 15) ++probe.oddities;
        if (takenIn && (entry == Entry::List || count == 1) && entry != previous) ++probe.oddities;
        if (entry == Entry::Repeat && value == header->literal) ++probe.oddities;
        const auto step = static_cast<std::uint16_t>(last - first);
        if (entry == Entry::List && count == 2 && (step == 0 || step == 1 || step == 0xFFFF)) ++probe.oddities;
        previous = entry;
        previousCount = count;
        wouldGoOn.reset();
        if (count < 16) {
          switch (entry) {
            case Entry::Literal: wouldGoOn = header->literal; break;
            case Entry::Repeat: wouldGoOn = last; break;
            case Entry::Rising: wouldGoOn = static_cast<std::uint16_t>(last + 1); break;
            case Entry::Falling: wouldGoOn = static_cast<std::uint16_t>(last - 1); break;
            case Entry::Incrementing:  // going on moves the incrementing word: a trade
            case Entry::List:
            case Entry::End: break;
          }
        }
      });
  if (ending != Ending::End) return std::nullopt;
  probe.sizes = {words * 2, kEnigmaHeaderBytes + (reader.BitsTaken() + 7) / 8};
  probe.paddedWithZeros = reader.RestOfByte() == 0;
  probe.tightHeader = std::max(1u, static_cast<unsigned>(std::bit_width(largestIndex))) == header->lowBits &&
                      flags == header->mask;
  const std::size_t end = offset + probe.sizes.compressedSize;
  probe.evenWithZero = probe.sizes.compressedSize % 2 == 0 || (end < rom.size() && rom[end] == 0);
  return probe;
}

}  // namespace quarvel
