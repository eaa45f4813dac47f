// Bits appended to a byte vector, most significant first, the last byte padded with 0s.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvel {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // The low `count` bits of `value`, highest first.
  void Put(std::uint32_t value, unsigned count) {
    while (count-- > 0) {
      if (used_ == 8) {
        out_.push_back(0);
        used_ = 0;
      }
      if ((value >> count & 1u) != 0) out_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
      ++used_;
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
  unsigned used_ = 8;
};

}  // namespace quarvel
