// Kosinski compression as the games' own compressor made their files: the same bytes,
// for a build of a game that must come out identical to it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// The stream the games' compressor writes for `data` (1 to 65,536 bytes): a greedy parse
// (see KosinskiGreedyParse), each match in the first form that takes it (an inline copy
// up to 255 bytes back and 5 long, a full copy up to 9, an extended one), one empty copy
// (00 F0 01) before the first command at 0xA000 or later, the end marker, and zero bytes
// to a multiple of 16.
Expected<std::vector<std::uint8_t>, std::string> CompressKosinskiAccurate(std::span<const std::uint8_t> data);

// A command of the games' parse: `length` bytes (1 and distance 0 for a literal), copied
// from `distance` back; length 0 for the empty copy written once before 0xA000.
struct KosinskiCommand {
  std::size_t length = 0;
  std::size_t distance = 0;
  bool operator==(const KosinskiCommand&) const = default;
};

// The games' greedy parse, a command at a time: at each position the longest match of 2
// to 253 bytes whose first two bytes agree, from at most 7,939 bytes back, the nearest of
// equal ones; lengths counted over a look-ahead that runs past the end into what the
// compressor's 8 KiB ring still held, then cut to the data; a literal where there is no
// match, or one of 2 bytes from over 255 back.
class KosinskiGreedyParse {
 public:
  // `data` is the whole data, or with `whole` false its start: then the parse gives the
  // commands whose look-ahead stays inside it, and stops before the others.
  KosinskiGreedyParse(std::span<const std::uint8_t> data, bool whole);

  // The next command; nothing at the end (or where the start of the data runs out).
  std::optional<KosinskiCommand> Next();
  // Where the next command starts in the data.
  std::size_t Position() const { return position_; }

 private:
  std::uint8_t At(std::size_t at) const;
  unsigned PairAt(std::size_t at) const;
  unsigned TripleAt(std::size_t at) const;
  std::size_t MatchLength(std::size_t q, std::size_t p) const;

  std::span<const std::uint8_t> data_;
  bool whole_;
  std::size_t position_ = 0;
  std::size_t added_ = 0;  // positions before this one are in the chains
  bool noOpWritten_ = false;
  std::vector<std::uint32_t> head_;      // the nearest position of each pair's hash
  std::vector<std::uint32_t> previous_;  // the next nearer position of the same hash
  std::vector<std::uint32_t> head3_;     // the same for the first three bytes
  std::vector<std::uint32_t> previous3_;
};

}  // namespace quarvel
