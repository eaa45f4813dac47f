// Saxman decoding of any bytes, at several offsets, as a song and as a stream alone:
// never a crash, an output within the capacity and a song read to the end of its count;
// a song at offset k decodes as the bytes from k on do; a source that gives its bytes one
// at a time (the general path) gives what memory (the fast one) gives; and a song is its
// stream, two bytes on, of the size its count says.
#include <algorithm>
#include <cstdlib>
#include <span>

#include "decoders/saxman.h"
#include "scratch_file.h"
#include "support/trickle_source.h"

using quarvel::DecodedBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize;
  };
  for (const std::size_t offset : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
    if (offset >= size) break;
    const auto at = static_cast<std::int64_t>(offset);
    const auto song = quarvel::DecodeSaxman(rom, at);
    quarvel::fuzz::RequireSame(song, quarvel::DecodeSaxman(rom.subspan(offset), 0), offset, same);
    quarvel::testing::TrickleSource trickle(rom, offset);
    quarvel::fuzz::RequireSame(song, quarvel::DecodeSaxman(trickle), 0, same);
    if (song) {
      const std::size_t count = data[offset] | std::size_t{data[offset + 1]} << 8;
      if (song->compressedSize != count + 2 || song->bytes.size() > quarvel::kSaxmanCapacity) std::abort();
      if (count > 0) {
        const auto stream = quarvel::DecodeSaxmanStream(rom, at + 2, static_cast<std::uint16_t>(count));
        if (!stream || stream->bytes != song->bytes || stream->compressedSize != count) std::abort();
      }
    }
    const auto whole = static_cast<std::uint16_t>(std::min<std::size_t>(size - offset, quarvel::kSaxmanLongestStream));
    const auto stream = quarvel::DecodeSaxmanStream(rom, at, whole);
    quarvel::testing::TrickleSource again(rom, offset);
    quarvel::fuzz::RequireSame(stream, quarvel::DecodeSaxmanStream(again, whole), 0, same);
    if (stream && (stream->compressedSize != whole || stream->bytes.size() > quarvel::kSaxmanCapacity)) std::abort();
  }
  return 0;
}
