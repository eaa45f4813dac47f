// Writes a Saxman song command by command: the count, then each group's descriptor byte
// before the commands whose bits it holds (a descriptor only when a command follows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/expected.h"
#include "decoders/saxman.h"

namespace quarvel {

// Why `size` bytes of data make no song, or an empty text when they may.
inline std::string SaxmanDataTooLong(std::size_t size) {
  if (size <= kSaxmanCapacity) return {};
  return "the data has " + std::to_string(size) + " bytes; a Saxman song holds at most 65,536";
}

class SaxmanWriter {
 public:
  explicit SaxmanWriter(std::size_t dataSize) {
    song_.reserve(kSaxmanHeaderBytes + dataSize + dataSize / 8 + 1);
    song_.assign(kSaxmanHeaderBytes, 0);
  }

  void Literal(std::uint8_t byte) {
    PutBit(1);
    song_.push_back(byte);
  }
  // `length` bytes (3 to 18) from position `from` of the data, which the decoder reaches;
  // a position before the start writes zeros.
  void Copy(std::ptrdiff_t from, std::size_t length) {
    const auto ring = static_cast<unsigned>(from - 18) & 0xFFFu;  // the data starts at 4096 - 18 of the ring
    PutBit(0);
    song_.push_back(static_cast<std::uint8_t>(ring & 0xFF));
    song_.push_back(static_cast<std::uint8_t>((ring >> 8) << 4 | (length - 3)));
  }
  // The song: the stream's count, little-endian, then the stream.
  Expected<std::vector<std::uint8_t>, std::string> Finish() {
    const std::size_t stream = song_.size() - kSaxmanHeaderBytes;
    if (stream > kSaxmanLongestStream)
      return Fail("a Saxman stream holds at most 65,535 bytes: this data needs " + std::to_string(stream));
    song_[0] = static_cast<std::uint8_t>(stream & 0xFF);
    song_[1] = static_cast<std::uint8_t>(stream >> 8);
    return std::move(song_);
  }

 private:
  void PutBit(unsigned bit) {
    if (bits_ == 8) {
      descriptorAt_ = song_.size();
      song_.push_back(0);
      bits_ = 0;
    }
    song_[descriptorAt_] |= static_cast<std::uint8_t>(bit << bits_++);
  }

  std::vector<std::uint8_t> song_;
  std::size_t descriptorAt_ = 0;
  unsigned bits_ = 8;  // of the current descriptor, used
};

}  // namespace quarvel
