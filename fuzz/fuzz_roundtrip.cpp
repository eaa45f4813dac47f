// Any data through every compressor and back through the decoders: the same bytes, and
// a stream the decoder reads exactly to its end (an Enigma block but its even padding);
// Saxman's smallest song no larger than the games' own.
#include <algorithm>
#include <cstdlib>
#include <span>

#include "decoders/enigma.h"
#include "decoders/kosinski.h"
#include "decoders/kosinski_moduled.h"
#include "decoders/nemesis.h"
#include "decoders/saxman.h"
#include "encoders/enigma_compressor.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/kosinski_moduled_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "encoders/saxman_compressor.h"

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

  if (const auto moduled = quarvel::CompressKosinskiModuled(input)) {
    const auto again = quarvel::DecodeKosinskiModuled(*moduled, 0);
    if (!again || again->bytes.size() != size || !std::equal(input.begin(), input.end(), again->bytes.begin()) ||
        again->compressedSize != moduled->size() || !again->warnings.empty())
      std::abort();
  } else if (size != 0 && size <= quarvel::kModuledCapacity) {
    std::abort();
  }

  const auto words = input.first(std::min(size - size % 2, quarvel::kEnigmaCapacity));
  if (const auto map = quarvel::CompressEnigma(words)) {
    const auto again = quarvel::DecodeEnigma(*map, 0);
    if (!again || again->bytes.size() != words.size() || !std::equal(words.begin(), words.end(), again->bytes.begin()) ||
        (again->compressedSize + 1) / 2 * 2 != map->size())
      std::abort();
  } else if (!words.empty()) {
    std::abort();
  }

  const auto smallest = quarvel::CompressSaxman(input), games = quarvel::CompressSaxmanAccurate(input);
  // Every literal: 9 bytes for 8, which a stream of 65,535 bytes holds up to 58,253 bytes of data.
  if (!smallest && (games || size <= quarvel::kSaxmanLongestStream * 8 / 9)) std::abort();
  for (const auto* song : {&smallest, &games}) {
    if (!*song) continue;
    const auto again = quarvel::DecodeSaxman(**song, 0);
    if (!again || again->bytes.size() != size || !std::equal(input.begin(), input.end(), again->bytes.begin()) ||
        again->compressedSize != (*song)->size())
      std::abort();
  }
  if (games && smallest->size() > games->size()) std::abort();
  return 0;
}
