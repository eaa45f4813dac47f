// Any data through both compressors and back through the decoders: the same bytes,
// and a stream the decoder reads exactly to its end.
#include <algorithm>
#include <cstdlib>
#include <span>

#include "decoders/kosinski.h"
#include "decoders/nemesis.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  if (const auto stream = quarvel::CompressKosinski(input)) {
    const auto back = quarvel::DecodeKosinski(*stream, 0);
    if (!back || back->bytes.size() != size || !std::equal(input.begin(), input.end(), back->bytes.begin())) std::abort();
    if (back->compressedSize != stream->size()) std::abort();
  } else if (size != 0 && size <= quarvel::kKosinskiCapacity) {
    std::abort();
  }

  const auto tiles = input.first(size - size % quarvel::kNemesisTileBytes);
  const auto block = quarvel::CompressNemesis(tiles);
  if (!block) std::abort();
  const auto back = quarvel::DecodeNemesis(*block, 0);
  if (!back || back->bytes.size() != tiles.size() || !std::equal(tiles.begin(), tiles.end(), back->bytes.begin()))
    std::abort();
  return 0;
}
