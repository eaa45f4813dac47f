// Bits appended to a byte vector, most significant first, the last byte padded with 0s.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quarvel {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // The low `count` bits of `value`, highest first.
  void Put(std::uint32_t value, unsigned count) {
    while (count > 0) {
      if (used_ == 8) {
        out_.push_back(0);
        used_ = 0;
      }
      const unsigned take = std::min(count, 8 - used_);  // as many as the last byte holds
      count -= take;
      const unsigned bits = value >> count & ((1u << take) - 1);
      out_.back() |= static_cast<std::uint8_t>(bits << (8 - used_ - take));
      used_ += take;
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
  unsigned used_ = 8;
};

}  // namespace quarvel
