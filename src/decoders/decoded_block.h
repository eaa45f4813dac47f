// What a format's decoder gives, and what its probe finds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

struct DecodedBlock {
  std::vector<std::uint8_t> bytes;        // the decoded data, written out as it is
  std::uint64_t compressedSize = 0;       // bytes of the source that the block takes
  std::vector<std::string> warnings;      // what the block says that its data does not bear out
};

// The sizes of a block that a probe found.
struct BlockProbe {
  std::size_t decodedSize = 0;
  std::uint64_t compressedSize = 0;
};

}  // namespace quarvel
