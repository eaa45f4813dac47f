// Writes a Kosinski stream command by command, placing each descriptor where the
// decoder reads it: right after the command whose bits filled the one before.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvel {

class KosinskiWriter {
 public:
  KosinskiWriter();

  void Literal(std::uint8_t byte);
  // 2 to 5 bytes from 1 to 256 bytes back (two descriptor bits for the count).
  void InlineCopy(unsigned distance, unsigned count);
  // 3 to 256 bytes from 1 to 8,192 back: two stream bytes for counts up to 9,
  // three for longer ones or when `extended` asks for the three-byte form.
  void FullCopy(unsigned distance, unsigned count, bool extended = false);
  // A full copy with count byte 1, which copies nothing.
  void EmptyCopy(unsigned distance);
  // Ends the stream with the end marker and returns it.
  std::vector<std::uint8_t> Finish();

 private:
  void PutBit(unsigned bit);
  void PutFullCopy(unsigned distance, unsigned countBits, int extendedByte);

  std::vector<std::uint8_t> stream_;
  std::size_t descriptorAt_ = 0;
  unsigned descriptor_ = 0;
  unsigned bitCount_ = 0;
};

}  // namespace quarvel
