#include "scan/games_output.h"

#include <algorithm>
#include <array>
#include <vector>

#include "decoders/enigma.h"
#include "decoders/kosinski.h"
#include "decoders/kosinski_moduled.h"
#include "decoders/nemesis.h"
#include "encoders/enigma_accurate.h"
#include "encoders/kosinski_accurate.h"
#include "encoders/nemesis_accurate.h"
#include "encoders/saxman_compressor.h"

namespace quarvel {
namespace {

// The games' parse looks 253 bytes ahead: the commands of the first 64 bytes, then of the
// first kilobyte, are checked against a decode of a little more before the whole block.
constexpr std::size_t kFirstChecks[] = {64 + 253, 1024 + 253};

// Whether `rom` holds `block` at `offset`.
bool Holds(std::span<const std::uint8_t> rom, std::size_t offset, const std::vector<std::uint8_t>& block) {
  return offset <= rom.size() && block.size() <= rom.size() - offset &&
         std::equal(block.begin(), block.end(), rom.begin() + static_cast<std::ptrdiff_t>(offset));
}

// The first commands of a Kosinski stream, and what they write.
struct Decoded {
  std::vector<KosinskiCommand> commands;
  std::vector<std::uint8_t> bytes;
  bool ended = false;  // at its end marker
};

// Decodes the stream at `offset` until `enough` bytes are written or it ends; false for
// a stream that fails first.
bool DecodeCommands(std::span<const std::uint8_t> rom, std::size_t offset, std::size_t enough, Decoded& decoded) {
  std::size_t at = offset;
  unsigned descriptor = 0, bitsLeft = 0;
  const auto load = [&] {
    if (rom.size() - at < 2) return false;
    descriptor = rom[at] | unsigned{rom[at + 1]} << 8;
    at += 2;
    bitsLeft = 16;
    return true;
  };
  const auto bit = [&](unsigned& value) {
    value = descriptor & 1u;
    descriptor >>= 1;
    return --bitsLeft != 0 || load();
  };
  const auto byte = [&](unsigned& value) {
    if (at == rom.size()) return false;
    value = rom[at++];
    return true;
  };
  auto& out = decoded.bytes;
  if (offset >= rom.size() || !load()) return false;
  while (out.size() < enough) {
    unsigned b = 0, value = 0;
    if (!bit(b)) return false;
    if (b == 1) {
      if (!byte(value)) return false;
      out.push_back(static_cast<std::uint8_t>(value));
      decoded.commands.push_back({1, 0});
      continue;
    }
    std::size_t count = 0, distance = 0;
    if (!bit(b)) return false;
    if (b == 0) {
      unsigned high = 0, low = 0;
      if (!bit(high) || !bit(low) || !byte(value)) return false;
      count = 2 * high + low + 2;
      distance = 256 - value;
    } else {
      unsigned low = 0, high = 0;
      if (!byte(low) || !byte(high)) return false;
      distance = 8192 - 256 * (high >> 3) - low;
      count = (high & 7u) + 2;
      if ((high & 7u) == 0) {
        if (!byte(value)) return false;
        if (value == 0) {
          decoded.ended = true;
          return true;
        }
        if (value == 1) {
          decoded.commands.push_back({0, distance});
          continue;
        }
        count = value + 1;
      }
    }
    if (distance > out.size() || out.size() + count > kKosinskiCapacity) return false;
    for (std::size_t i = 0; i < count; ++i) out.push_back(out[out.size() - distance]);
    decoded.commands.push_back({count, distance});
  }
  return true;
}

// Whether the first commands of the Kosinski stream at `offset` are the games' parse of
// what they write: a few, then more.
bool StartsAsTheGames(std::span<const std::uint8_t> rom, std::size_t offset) {
  // Nothing comes before the first byte: the games' first command is a literal.
  if (offset >= rom.size() || (rom[offset] & 1u) == 0) return false;
  for (const std::size_t enough : kFirstChecks) {
    Decoded first;
    if (!DecodeCommands(rom, offset, enough, first) || first.bytes.empty()) return false;
    KosinskiGreedyParse parse(first.bytes, first.ended);
    for (const auto& command : first.commands) {
      const auto games = parse.Next();
      if (!games) break;  // past what this decode shows
      if (*games != command) return false;
    }
    if (first.ended) break;
  }
  return true;
}

// The games' Kosinski blocks of a module's size or less that this thread found last:
// where each stands in memory, its data and the games' stream of it. A scan goes from the
// end of an image down, so that it finds the modules of a Kosinski Moduled block as
// Kosinski blocks before the block itself, whose check takes them from here. A block
// counts only while the image still holds its stream there, on which alone what it
// decodes to depends.
struct FoundBlock {
  const std::uint8_t* at = nullptr;
  std::vector<std::uint8_t> data, stream;
};
thread_local std::array<FoundBlock, 16> foundBlocks;
thread_local std::size_t nextFound = 0;

// How many bytes the games' stream of `data` takes, held by `rom` at `offset`; 0 for
// one that `rom` does not hold there.
std::size_t GamesStreamHeld(std::span<const std::uint8_t> rom, std::size_t offset, std::span<const std::uint8_t> data) {
  for (const auto& found : foundBlocks) {
    if (found.at == rom.data() + offset && std::ranges::equal(found.data, data) && Holds(rom, offset, found.stream))
      return found.stream.size();
  }
  const auto games = CompressKosinskiAccurate(data);
  return games && Holds(rom, offset, *games) ? games->size() : 0;
}

}  // namespace

bool IsGamesKosinski(std::span<const std::uint8_t> rom, std::size_t offset) {
  if (!StartsAsTheGames(rom, offset)) return false;
  // Then the whole block, byte for byte.
  auto block = DecodeKosinski(rom, static_cast<std::int64_t>(offset));
  if (!block) return false;
  auto games = CompressKosinskiAccurate(block->bytes);
  if (!games || !Holds(rom, offset, *games)) return false;
  if (block->bytes.size() <= kModuleBytes) {
    foundBlocks[nextFound] = {rom.data() + offset, std::move(block->bytes), std::move(*games)};
    nextFound = (nextFound + 1) % foundBlocks.size();
  }
  return true;
}

// What CompressKosinskiModuledAccurate writes for the block's data and its header's
// size: the header, then the games' Kosinski stream of each piece, a multiple of 16 bytes
// long (no padding between them), each compared where it stands.
bool IsGamesKosinskiModuled(std::span<const std::uint8_t> rom, std::size_t offset) {
  // The first module's first commands first.
  if (offset + 2 > rom.size() || !StartsAsTheGames(rom, offset + 2)) return false;
  const auto block = DecodeKosinskiModuled(rom, static_cast<std::int64_t>(offset));
  if (!block) return false;
  const std::span<const std::uint8_t> data = block->bytes;
  const auto modules = [](std::size_t bytes) { return (bytes + kModuleBytes - 1) / kModuleBytes; };
  const std::size_t headerSize = std::size_t{rom[offset]} << 8 | rom[offset + 1];
  if (data.empty() || data.size() > kModuledCapacity || modules(headerSize) != modules(data.size())) return false;
  std::size_t at = offset + 2;
  for (std::size_t piece = 0; piece < data.size(); piece += kModuleBytes) {
    const std::size_t length = GamesStreamHeld(rom, at, data.subspan(piece, std::min(kModuleBytes, data.size() - piece)));
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// The Sonic 3 & Knuckles form is the other with a zero byte after it: holding it, the
// image holds the other too.
bool IsGamesNemesis(std::span<const std::uint8_t> rom, std::size_t offset) {
  const auto block = DecodeNemesis(rom, static_cast<std::int64_t>(offset));
  if (!block || block->bytes.empty()) return false;
  // The table first, in the mode the header says; then the whole block.
  if (!Holds(rom, offset, AccurateNemesisHead(block->bytes, (rom[offset] & 0x80) != 0))) return false;
  const auto games = CompressNemesisAccurate(block->bytes, false);
  return games && Holds(rom, offset, *games);
}

bool IsGamesEnigma(std::span<const std::uint8_t> rom, std::size_t offset) {
  const auto block = DecodeEnigma(rom, static_cast<std::int64_t>(offset));
  if (!block || block->bytes.empty()) return false;
  // The header first; then the whole block.
  std::vector<std::uint16_t> words;
  for (std::size_t at = 0; at + 1 < block->bytes.size(); at += 2)
    words.push_back(static_cast<std::uint16_t>(block->bytes[at] << 8 | block->bytes[at + 1]));
  const EnigmaHeader header = AccurateEnigmaHeader(words);
  const std::vector<std::uint8_t> head{static_cast<std::uint8_t>(header.lowBits), static_cast<std::uint8_t>(header.mask),
                                       static_cast<std::uint8_t>(header.incrementing >> 8),
                                       static_cast<std::uint8_t>(header.incrementing),
                                       static_cast<std::uint8_t>(header.literal >> 8), static_cast<std::uint8_t>(header.literal)};
  if (!Holds(rom, offset, head)) return false;
  const auto games = CompressEnigmaAccurate(block->bytes);
  return games && Holds(rom, offset, *games);
}

bool IsGamesSaxman(std::span<const std::uint8_t> rom, std::size_t offset, std::span<const std::uint8_t> decoded) {
  const auto games = CompressSaxmanAccurate(decoded);
  return games && Holds(rom, offset, *games);
}

}  // namespace quarvel
