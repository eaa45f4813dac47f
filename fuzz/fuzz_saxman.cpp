// Saxman decoding of any bytes, at several offsets, as a song and as a stream alone:
// never a crash, an output within the capacity and a song read to the end of its count;
// the file path that every command takes, and a source that gives its bytes one at a
// time, give what memory gives; a song at offset k decodes as the bytes from k on do; a
// song is its stream, two bytes on, of the size its count says; and what the scan's
// probe accepts decodes to what the probe read.
#include <algorithm>
#include <cstdlib>
#include <span>

#include "decoders/saxman.h"
#include "files/extraction.h"
#include "scan/saxman_scan.h"
#include "scratch_file.h"
#include "support/trickle_source.h"

using quarvel::DecodedBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> rom(data, size);
  const auto same = [](const DecodedBlock& a, const DecodedBlock& b) {
    return a.bytes == b.bytes && a.compressedSize == b.compressedSize;
  };
  const auto decode = [](std::span<const std::uint8_t> bytes, std::int64_t at) { return quarvel::DecodeSaxman(bytes, at); };
  quarvel::fuzz::DecodeAtOffsets(quarvel::Format::Saxman, rom, decode, same, [&](std::size_t offset, const auto& song) {
    if (offset >= size) return;
    const auto at = static_cast<std::int64_t>(offset);
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
    if (const auto probe = quarvel::ProbeSaxman(rom, offset, 0, 2); probe && (!song || !same(probe->block, *song)))
      std::abort();
    const auto whole = static_cast<std::uint16_t>(std::min<std::size_t>(size - offset, quarvel::kSaxmanLongestStream));
    const auto stream = quarvel::DecodeSaxmanStream(rom, at, whole);
    quarvel::testing::TrickleSource again(rom, offset);
    quarvel::fuzz::RequireSame(stream, quarvel::DecodeSaxmanStream(again, whole), 0, same);
    if (stream && (stream->compressedSize != whole || stream->bytes.size() > quarvel::kSaxmanCapacity)) std::abort();
  });
  return 0;
}
