#include "encoders/kosinski_writer.h"

#include <cassert>
#include <utility>

namespace quarvel {

KosinskiWriter::KosinskiWriter() : stream_(2, 0) {}

void KosinskiWriter::PutBit(unsigned bit) {
  descriptor_ |= bit << bitCount_;
  if (++bitCount_ < 16) return;
  stream_[descriptorAt_] = static_cast<std::uint8_t>(descriptor_);
  stream_[descriptorAt_ + 1] = static_cast<std::uint8_t>(descriptor_ >> 8);
  descriptorAt_ = stream_.size();
  stream_.insert(stream_.end(), {0, 0});
  descriptor_ = 0;
  bitCount_ = 0;
}

void KosinskiWriter::Literal(std::uint8_t byte) {
  PutBit(1);
  stream_.push_back(byte);
}

void KosinskiWriter::InlineCopy(unsigned distance, unsigned count) {
  assert(distance >= 1 && distance <= 256 && count >= 2 && count <= 5);
  PutBit(0);
  PutBit(0);
  PutBit((count - 2) >> 1);
  PutBit((count - 2) & 1);
  stream_.push_back(static_cast<std::uint8_t>(256 - distance));
}

void KosinskiWriter::PutFullCopy(unsigned distance, unsigned countBits, int extendedByte) {
  assert(distance >= 1 && distance <= 8192);
  const unsigned field = 8192 - distance;  // the displacement's low 13 bits
  PutBit(0);
  PutBit(1);
  stream_.push_back(static_cast<std::uint8_t>(field & 0xFF));
  stream_.push_back(static_cast<std::uint8_t>(((field >> 8) << 3) | countBits));
  if (extendedByte >= 0) stream_.push_back(static_cast<std::uint8_t>(extendedByte));
}

void KosinskiWriter::FullCopy(unsigned distance, unsigned count, bool extended) {
  assert(count >= 3 && count <= 256);
  if (count <= 9 && !extended)
    PutFullCopy(distance, count - 2, -1);
  else
    PutFullCopy(distance, 0, static_cast<int>(count - 1));
}

void KosinskiWriter::EmptyCopy(unsigned distance) { PutFullCopy(distance, 0, 1); }

std::vector<std::uint8_t> KosinskiWriter::Finish() {
  PutFullCopy(512, 0, 0);  // the end marker: bytes 00 F0 00
  stream_[descriptorAt_] = static_cast<std::uint8_t>(descriptor_);
  stream_[descriptorAt_ + 1] = static_cast<std::uint8_t>(descriptor_ >> 8);
  return std::move(stream_);
}

}  // namespace quarvel
