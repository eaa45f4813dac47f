// ROM images for the scan: blocks made by the compressors, at known offsets, among
// filler of several kinds.
#pragma once

#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "common/format.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "formats/format_table.h"
#include "support/bytes.h"

namespace quarvel::testing {

enum class Filler { Zeros, Random, Code68000, RawTiles, Padding, Pattern, Blocks };
inline constexpr Filler kFillers[] = {Filler::Zeros,   Filler::Random,  Filler::Code68000, Filler::RawTiles,
                                      Filler::Padding, Filler::Pattern, Filler::Blocks};

inline const char* FillerName(Filler filler) {
  switch (filler) {
    case Filler::Zeros: return "zeros";
    case Filler::Random: return "random bytes";
    case Filler::Code68000: return "68000-code-like bytes";
    case Filler::RawTiles: return "uncompressed tiles";
    case Filler::Padding: return "0xFF padding";
    case Filler::Pattern: return "a repeated pattern";
    case Filler::Blocks: return "compressed blocks end to end";
  }
  return "";
}

// Tile art: `tiles` tiles of shapes in a few colours.
inline Bytes TileArt(std::size_t tiles, unsigned seed) {
  std::mt19937 random(seed);
  Bytes art;
  const unsigned colours = 2 + random() % 14;
  for (std::size_t t = 0; t < tiles; ++t) {
    const unsigned shape = random() % 4, a = random() % colours, b = random() % colours;
    for (unsigned row = 0; row < 8; ++row) {
      for (unsigned column = 0; column < 8; column += 2) {
        auto pixel = [&](unsigned x) {
          switch (shape) {
            case 0: return a;
            case 1: return (x + row) % 4 < 2 ? a : b;
            case 2: return x * x + row * row < 30 ? a : b;
            default: return static_cast<unsigned>((x + row + t) % colours);
          }
        };
        art.push_back(static_cast<std::uint8_t>(pixel(column) << 4 | pixel(column + 1)));
      }
    }
  }
  return art;
}

// A plane map of `width` x `height` words as games draw them: rows of tiles numbered in
// order (a picture laid out tile by tile), blank stretches, a tile repeated, and tiles
// mirrored with the flip bits, in one of the four palette lines.
inline Bytes PlaneMap(std::size_t width, std::size_t height, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes;
  unsigned next = random() % 0x300;
  const unsigned palette = (random() % 4) << 13, priority = random() % 4 == 0 ? 0x8000 : 0;
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width;) {
      const std::size_t run = std::min<std::size_t>(width - x, 1 + random() % 12);
      const unsigned kind = random() % 4, tile = random() % 0x400;
      for (std::size_t k = 0; k < run; ++k, ++x) {
        unsigned word = 0;
        switch (kind) {
          case 0: word = 0; break;
          case 1: word = priority | palette | tile; break;
          case 2: word = priority | palette | 0x0800 | (tile + (run - 1 - k)); break;
          default: word = priority | palette | next++; break;
        }
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word));
      }
    }
  }
  return bytes;
}

struct PlacedBlock {
  std::size_t offset;
  Format format;
  std::size_t decodedSize;
  std::size_t compressedSize;  // as a decode counts it: an Enigma block's even padding left out
  bool gamesOwn = false;       // made by the games' own compressor
};

// `data` packed in `format` as the games' own compressor packs it, or as small as can be
// (as a hack's tools do).
inline Bytes Packed(Format format, const Bytes& data, bool gamesOwn) {
  return gamesOwn ? *CodecOf(format).compressAccurate(data, {}) : *CodecOf(format).compress(data);
}

// Notes a block of `packed` about to be appended to `rom`.
inline void Place(std::vector<PlacedBlock>& placed, const Bytes& rom, Format format, std::size_t decodedSize,
                  const Bytes& packed, bool gamesOwn) {
  placed.push_back({rom.size(), format, decodedSize, DecodeBlock(format, packed, 0)->compressedSize, gamesOwn});
}


// Blocks of tile art and plane maps of every format, by both compressors, made once: a
// filler of blocks draws from them (making thousands anew would take the most time).
constexpr unsigned kBlockPool = 512;
struct Pooled {
  Format format;
  std::size_t decodedSize;
  Bytes packed;
  bool gamesOwn;
};
inline const Pooled& PooledBlock(unsigned pick) {
  static std::mutex mutex;
  static std::map<unsigned, Pooled> made;
  const std::lock_guard lock(mutex);
  auto it = made.find(pick);
  if (it == made.end()) {
    std::mt19937 random(pick);
    const Format format = Formats()[pick % Formats().size()].format;
    const bool gamesOwn = pick / Formats().size() % 2 == 0;
    const auto first = static_cast<unsigned>(random());  // draws one after the other, the same on every compiler
    const Bytes data = format == Format::Enigma ? PlaneMap(8 + random() % 40, 4 + first % 20, pick)
                                                : TileArt(8 + first % 40, pick);
    it = made.emplace(pick, Pooled{format, data.size(), Packed(format, data, gamesOwn), gamesOwn}).first;
  }
  return it->second;
}

// `size` bytes of `filler`; the blocks of Filler::Blocks (whole ones, of both compressors,
// at even offsets but now and then a hack's at an odd one, 0xFF after the last) are
// noted in `blocks`.
inline Bytes Filled(Filler filler, std::size_t size, unsigned seed, std::vector<PlacedBlock>* blocks = nullptr) {
  std::mt19937 random(seed);
  Bytes bytes;
  switch (filler) {
    case Filler::Zeros: bytes.assign(size, 0); break;
    case Filler::Random:
      for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
      break;
    case Filler::Code68000: {
      // Common instruction words (moves, lea, bsr, bra, rts, tst, cmp) with operands.
      const std::uint16_t words[] = {0x4E75, 0x4E71, 0x3028, 0x2F00, 0x41F9, 0x6100, 0x6000, 0x4A40, 0x0C40,
                                     0x3140, 0x2028, 0x4EB9, 0x6700, 0x6600, 0x5340, 0xD040, 0x323C, 0x7000};
      while (bytes.size() < size) {
        const std::uint16_t word = words[random() % std::size(words)];
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word));
        for (unsigned operand = random() % 3; operand > 0; --operand) {
          bytes.push_back(random() % 3 == 0 ? 0xFF : 0x00);
          bytes.push_back(static_cast<std::uint8_t>(random() % 64 * 2));
        }
      }
      bytes.resize(size);
      break;
    }
    case Filler::RawTiles:
      bytes = TileArt(size / 32 + 1, seed);
      bytes.resize(size);
      break;
    case Filler::Padding: bytes.assign(size, 0xFF); break;
    case Filler::Pattern: {
      // A table of one record over and over: long-word pointers and a word.
      const Bytes record = {0x00, 0x01, 0x2A, 0x40, 0x00, 0x01, 0x2B, 0x80, 0xFF, 0xF8};
      while (bytes.size() < size) bytes.insert(bytes.end(), record.begin(), record.end());
      bytes.resize(size);
      break;
    }
    case Filler::Blocks:
      for (;;) {
        const auto& block = PooledBlock(random() % kBlockPool);
        if (bytes.size() % 2 != 0 && (block.gamesOwn || random() % 8 != 0)) bytes.push_back(0x00);
        if (bytes.size() + block.packed.size() > size) break;
        if (blocks) Place(*blocks, bytes, block.format, block.decodedSize, block.packed, block.gamesOwn);
        bytes.insert(bytes.end(), block.packed.begin(), block.packed.end());
      }
      bytes.resize(size, 0xFF);
      break;
  }
  return bytes;
}

// A song of about `size` bytes as the sound driver reads one: a header of channel
// pointers (little-endian) and settings, then tracks of phrases (notes 0x81 to 0xDF,
// each with or without a duration 0x01 to 0x7F, and now and then a flag 0xE0 to 0xFF
// with a parameter), each phrase played again and again, some transposed; then the
// instruments' voices of 25 bytes.
inline Bytes Song(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes song;
  const unsigned channels = 6 + random() % 4;
  for (unsigned c = 0; c < channels; ++c) {
    const unsigned at = 0x1380 + c * 0x60 + random() % 0x40;
    song.insert(song.end(), {static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(at >> 8),
                             static_cast<std::uint8_t>(random() % 3 * 12), static_cast<std::uint8_t>(random() % 16)});
  }
  std::vector<Bytes> phrases;
  while (song.size() < size * 4 / 5) {
    if (phrases.empty() || random() % 3 == 0) {
      Bytes phrase;
      for (unsigned note = 0, length = 3 + random() % 12; note < length; ++note) {
        phrase.push_back(static_cast<std::uint8_t>(0x81 + random() % 0x5F));
        if (random() % 2) phrase.push_back(static_cast<std::uint8_t>(1 + random() % 3 * 6));
        if (random() % 8 == 0) phrase.insert(phrase.end(), {static_cast<std::uint8_t>(0xE0 + random() % 32), 0x80});
      }
      phrases.push_back(std::move(phrase));
    }
    Bytes phrase = phrases[random() % phrases.size()];
    if (random() % 4 == 0)
      for (auto& byte : phrase) byte = byte >= 0x81 && byte <= 0xDB ? static_cast<std::uint8_t>(byte + 4) : byte;
    song.insert(song.end(), phrase.begin(), phrase.end());
  }
  while (song.size() < size) song.push_back(random() % 3 == 0 ? 0 : static_cast<std::uint8_t>(random() % 0x80));
  return song;
}

// `size` bytes of filler with blocks among it, each made by both compressors: a Kosinski
// block of tile art and one of text-like data, Nemesis blocks of 12, 64 and 300 tiles, an
// Enigma plane map, a Kosinski Moduled block of art and a Saxman song. The games' own blocks stand at
// even offsets, a hack's Kosinski block of text at an odd one. The filler's own blocks
// (Filler::Blocks) are noted in `fillerBlocks`.
inline Bytes RomWithBlocks(Filler filler, std::size_t size, unsigned seed, std::vector<PlacedBlock>& placed,
                           std::vector<PlacedBlock>* fillerBlocks = nullptr) {
  std::string text;
  std::mt19937 random(seed);
  const char* words[] = {"ring ", "spring ", "monitor ", "badnik ", "loop ", "zone ", "act ", "boss "};
  while (text.size() < 3000) text += words[random() % 8];
  const std::vector<std::pair<Format, Bytes>> datas = {
      {Format::Kosinski, TileArt(40, seed + 1)},
      {Format::Kosinski, Bytes(text.begin(), text.end())},
      {Format::Nemesis, TileArt(12, seed + 2)},
      {Format::Nemesis, TileArt(64, seed + 3)},
      {Format::Nemesis, TileArt(300, seed + 4)},
      {Format::Enigma, PlaneMap(40, 28, seed + 5)},
      {Format::KosinskiModuled, TileArt(200, seed + 6)},
      {Format::Saxman, Song(1500, seed + 7)},
  };
  struct Block {
    Format format;
    std::size_t decodedSize;
    Bytes packed;
    bool gamesOwn;
  };
  std::vector<Block> blocks;
  std::size_t packedBytes = 0;
  for (const bool gamesOwn : {true, false}) {
    for (const auto& [format, data] : datas) {
      blocks.push_back({format, data.size(), Packed(format, data, gamesOwn), gamesOwn});
      packedBytes += blocks.back().packed.size();
    }
  }
  const std::size_t gap = (size - std::min(size, packedBytes + 0x1000)) / (blocks.size() + 1) & ~std::size_t{1};
  Bytes rom;
  auto fill = [&](std::size_t bytes, unsigned part) {
    std::vector<PlacedBlock> fillers;
    const auto filled = Filled(filler, bytes, seed + part, &fillers);
    for (auto block : fillers) {
      block.offset += rom.size();
      if (fillerBlocks) fillerBlocks->push_back(block);
    }
    rom.insert(rom.end(), filled.begin(), filled.end());
  };
  fill(0x1000, 0);
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const auto& block = blocks[b];
    if (b == 8) rom.push_back(0xFF);  // the hack's block of text
    Place(placed, rom, block.format, block.decodedSize, block.packed, block.gamesOwn);
    rom.insert(rom.end(), block.packed.begin(), block.packed.end());
    if (rom.size() % 2 != 0) rom.push_back(0x00);
    fill(gap, 1 + static_cast<unsigned>(b));
  }
  fill(size - std::min(size, rom.size()), 99);
  return rom;
}

// Plane mappings: words of a tile index with priority, palette and flip bits, in rows
// that repeat with small changes.
inline Bytes Mappings(std::size_t words, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes;
  const unsigned base = random() % 0x400, palette = (random() % 4) << 13;
  for (std::size_t i = 0; i < words; ++i) {
    const unsigned word = random() % 4 == 0 ? 0 : palette | (base + i % 40 + random() % 3);
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word));
  }
  return bytes;
}

// A ROM image laid out as games are: code, uncompressed tiles and mappings, and runs of
// compressed blocks of every kind of data, half of them the games' own output (at even
// offsets), half as small as can be (as in a hack: now and then at an odd offset), with
// 0xFF padding between some parts; then a bank of songs, and padding up to the end.
inline Bytes RealisticRom(std::size_t size, unsigned seed, std::vector<PlacedBlock>& placed) {
  std::mt19937 random(seed);
  Bytes rom;
  auto append = [&](const Bytes& part) { rom.insert(rom.end(), part.begin(), part.end()); };
  // Two draws for one call are made one after the other, not as its arguments (whose
  // order compilers choose): the same seed is the same image everywhere.
  auto draws = [&](unsigned range) {
    const auto seedOfPart = static_cast<unsigned>(random());
    return std::pair{static_cast<unsigned>(random() % range), seedOfPart};
  };
  while (rom.size() < size * 7 / 8) {
    switch (random() % 6) {
      case 0: {
        const auto [n, part] = draws(16384);
        append(Filled(Filler::Code68000, 1024 + n, part));
        break;
      }
      case 1: {
        const auto [n, part] = draws(200);
        append(Filled(Filler::RawTiles, 32 * (8 + n), part));
        break;
      }
      case 2: {
        const auto [n, part] = draws(2048);
        append(Mappings(64 + n, part));
        break;
      }
      case 3: append(Bytes(16 + random() % 4096, 0xFF)); break;
      default:
        for (unsigned count = 1 + random() % 6; count > 0; --count) {
          Bytes data;
          Format format = random() % 2 == 0 ? Format::Kosinski : Format::Nemesis;
          switch (random() % 6) {
            case 0: {
              const auto part = static_cast<unsigned>(random());
              const auto tiles = static_cast<unsigned>(random());
              const unsigned range = random() % 2 == 0 ? 10 : 300;
              data = TileArt(1 + tiles % range, part);
              break;
            }
            case 1: {
              const auto [n, part] = draws(2000);
              data = Mappings(16 + n, part);
              format = Format::Kosinski;
              break;
            }
            case 2: {
              const auto [n, part] = draws(4096);
              data = Filled(Filler::Code68000, 256 + n, part);
              format = Format::Kosinski;
              break;
            }
            case 3: {
              const auto part = static_cast<unsigned>(random());
              const unsigned height = 4 + random() % 29, width = 8 + random() % 57;
              data = PlaneMap(width, height, part);
              format = Format::Enigma;
              break;
            }
            case 4: {
              const auto [n, part] = draws(400);
              data = TileArt(8 + n, part);
              format = Format::KosinskiModuled;
              break;
            }
            default: {
              const auto [n, part] = draws(100);
              data = Filled(Filler::RawTiles, 32 * (1 + n), part);
              break;
            }
          }
          const bool gamesOwn = random() % 2 == 0;
          const auto packed = Packed(format, data, gamesOwn);
          if (packed.size() > data.size()) continue;  // kept as it is
          if (gamesOwn ? rom.size() % 2 != 0 : random() % 8 == 0)
            rom.push_back(gamesOwn ? 0x00 : 0xFF);  // the games' at even offsets, a hack's now and then at an odd one
          Place(placed, rom, format, data.size(), packed, gamesOwn);
          append(packed);
        }
    }
  }
  // A bank of songs end to end, as the sound CPU reads them: at any offset.
  for (unsigned song = 0; song < 27; ++song) {
    const auto [n, part] = draws(3000);
    const Bytes data = Song(200 + n, part);
    const bool gamesOwn = random() % 2 == 0;
    const auto packed = Packed(Format::Saxman, data, gamesOwn);
    Place(placed, rom, Format::Saxman, data.size(), packed, gamesOwn);
    append(packed);
  }
  rom.resize(std::max(size, rom.size()), 0xFF);
  return rom;
}

// The seed of the game-like image that the scan's speed is measured on (BM_ScanFiller4MiB,
// bench/scan-versus-gzip).
inline constexpr unsigned kGameLikeSeed = 1;

}  // namespace quarvel::testing
