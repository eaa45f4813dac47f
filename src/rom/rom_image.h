// Changing a Mega Drive ROM image in memory: its header checksum, and a compressed
// block put back in place of an old one or at the end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"
#include "common/format.h"

namespace quarvel {

inline constexpr std::size_t kHeaderAt = 0x100;       // the header: 0x100 to 0x1FF
inline constexpr std::size_t kChecksumAt = 0x18E;     // big-endian word
inline constexpr std::size_t kRomEndAt = 0x1A4;       // big-endian long: the last byte's address
inline constexpr std::size_t kChecksumFrom = 0x200;
inline constexpr std::size_t kRomGrowth = 128 * 1024;  // cartridges come in steps of 128 KiB
inline constexpr std::size_t kLargestCartridge = 4 * 1024 * 1024;

// Where the bytes the games' checksum covers end: they run from 0x200 up to and including
// the byte at the ROM end the header states (the big-endian long at 0x1A4) when that byte
// lies in the image, else to the image's end. One past the last byte summed (no byte is
// when it is 0x200 or less).
std::size_t ChecksumEnd(std::span<const std::uint8_t> rom);

// The 16-bit sum of the big-endian words from 0x200 to ChecksumEnd(rom) (an odd last byte
// counts as the high byte of a word), as the games check it; 0 when there are none.
std::uint16_t ComputeChecksum(std::span<const std::uint8_t> rom);

// The word stored at 0x18E; nothing for a ROM too small to hold it.
std::optional<std::uint16_t> StoredChecksum(std::span<const std::uint8_t> rom);

// Stores the computed checksum at 0x18E; false for a ROM too small to hold it.
bool FixChecksum(std::vector<std::uint8_t>& rom);

struct InsertOptions {
  std::uint8_t fill = 0xFF;   // what fills the old block's room past the new one, and a grown ROM
  bool append = false;        // a block that does not fit goes at the end of the ROM
  bool allowLarge = false;    // the ROM may grow past 4 MiB
};

struct Insertion {
  std::uint64_t offset = 0;   // where the block is
  bool appended = false;
  std::uint64_t romSize = 0;  // of the new ROM
};

// Puts `block` into `rom` in place of the old block of `oldSize` bytes at `offset`: in
// its place when it fits (the rest of its room filled), else, with `append`, at the end
// of the ROM at an even offset, the ROM grown to a multiple of 128 KiB (filled) and its
// end address at 0x1A4 set. Fails, changing nothing, when the block does not fit and may
// not be appended, or would take the ROM past 4 MiB (unless allowed) or 64 MiB.
Expected<Insertion, std::string> InsertBlock(std::vector<std::uint8_t>& rom, std::uint64_t offset, std::uint64_t oldSize,
                                             std::span<const std::uint8_t> block, const InsertOptions& options);

struct BlockChange {
  Format format = Format::Kosinski;
  std::int64_t offset = 0;
  bool raw = false;          // the data is a block already, not what it decodes to
  bool fixChecksum = true;
  InsertOptions placing = {};
  bool listed = false;       // a catalogue lists a block of the format at the offset
  bool force = false;        // replace what is there though nothing says it is a block
  bool fromPicture = false;  // the data is tiles taken from a picture
  bool resize = false;       // art may change its tile count
};

struct BlockChanged {
  Insertion where;
  std::uint64_t oldSize = 0;  // the old block's stream: the room it leaves
  std::uint64_t newSize = 0;
  std::uint64_t oldDecodedSize = 0;  // what the old block decodes to
  std::uint64_t newDecodedSize = 0;  // what the new one does
  bool checksumFixed = false;  // false when not asked for, or the ROM has no header
  std::vector<std::string> warnings;  // of the new block, decoded from the new image
};

struct ChangeFailure {
  enum class Kind {
    NoOldBlock,    // nothing at the offset decodes to its end in the format
    NotABlock,     // it decodes, but no catalogue lists it and the scan does not take it for a block
    InHeader,      // the old block's room reaches into the header
    BadData,
    DoesNotFit,
    TooLarge,
    Unverified,    // the new image does not give the data back: nothing is changed
    TileCountChanged,  // art whose tile count differs from the old block's, without `resize`
  } kind;
  std::string message;        // in English, naming sizes and offsets
  std::uint64_t oldSize = 0;  // known from DoesNotFit on
  std::uint64_t newSize = 0;
  double confidence = 0;      // with NotABlock: what the scan rates it (0: no candidate at all)
  std::uint64_t oldTiles = 0, newTiles = 0;  // with TileCountChanged: 32 bytes a tile, a part tile counted
};

// The block of `change.format` at `change.offset` of `rom` replaced by one made of
// `data` (compressed by the format's compressor, or, raw, taken as it is once it decodes
// whole), placed by InsertBlock, and the checksum fixed unless asked not to. Fails,
// changing nothing, when the old block does not decode to its end (a Kosinski block
// stopped by a copy from before its start included), when it is neither listed nor
// rated a block (kLikelyBlock or more) by the scan unless forced, when its room
// reaches into the header (0x100 to 0x1FF, forced or not), when the data does not
// compress or (raw) decode whole, when art (a Nemesis block, or data from a picture)
// would hold another count of tiles than the old block unless `resize`, or when the
// block cannot be placed. Before it gives
// the new image, it decodes the new block from it and compares it with the data, and
// checks that no byte changed but those of the room (or the appended end), the checksum
// and the end address.
Expected<BlockChanged, ChangeFailure> ReplaceBlock(std::vector<std::uint8_t>& rom, std::span<const std::uint8_t> data,
                                                   const BlockChange& change);

}  // namespace quarvel
