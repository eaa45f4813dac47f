// Bytes in memory given to a decoder one at a time, as a slow file would give them: the
// decoders take their general path, not the one for a stream that is all in memory.
#pragma once

#include <span>

#include "decoders/byte_source.h"

namespace quarvel::testing {

class TrickleSource final : public ByteSource {
 public:
  TrickleSource(std::span<const std::uint8_t> data, std::uint64_t start)
      : ByteSource(start, data.size()), data_(data), at_(start) {
    SetWindow({}, start);  // at `start` before the first byte is read, as a file is
  }

 private:
  bool Refill() override {
    if (at_ >= data_.size()) return false;
    SetWindow(data_.subspan(at_, 1), at_);
    ++at_;
    return true;
  }

  std::span<const std::uint8_t> data_;
  std::uint64_t at_;
};

}  // namespace quarvel::testing
