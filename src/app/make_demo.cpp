// Writes demo.bin, a small ROM image of the project's own tile art and data compressed
// at a few offsets among filler, and, when the folder has none yet, a Custom catalogue
// that lists its blocks, and demo.pal, a palette for its art: a ready example for the
// window and the command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "files/files.h"
#include "formats/format_table.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// 5 x 7 letters, a string a row.
const char* const kLetters[][7] = {
    {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"},  // Q
    {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."},  // U
    {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"},  // A
    {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"},  // R
    {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."},  // V
    {"#####", "#....", "#....", "####.", "#....", "#....", "#####"},  // E
    {"#....", "#....", "#....", "#....", "#....", "#....", "#####"},  // L
};

// A tile from a function of (x, y) giving pixel values 0 to 15.
template <class Pixel>
void AddTile(Bytes& tiles, Pixel pixel) {
  for (unsigned y = 0; y < 8; ++y)
    for (unsigned x = 0; x < 8; x += 2) tiles.push_back(static_cast<std::uint8_t>(pixel(x, y) << 4 | pixel(x + 1, y)));
}

// "QUARVEL" in letters shaded from top to bottom, then rings, diamonds and a gradient.
Bytes LogoTiles() {
  Bytes tiles;
  for (const auto& letter : kLetters) {
    AddTile(tiles, [&](unsigned x, unsigned y) -> unsigned {
      if (x < 1 || x > 5 || y > 6) return 0;
      return letter[y][x - 1] == '#' ? 9 + y : (x + y) % 2 ? 1 : 0;
    });
  }
  for (unsigned t = 0; t < 9; ++t) {
    AddTile(tiles, [&](unsigned x, unsigned y) -> unsigned {
      const int dx = 2 * static_cast<int>(x) - 7, dy = 2 * static_cast<int>(y) - 7, r = dx * dx + dy * dy;
      if (t < 3) return r >= 20 && r <= 40 ? 12 + t : 0;               // rings
      if (t < 6) return std::abs(dx) + std::abs(dy) < 8 ? 4 + t : 2;   // diamonds
      return (x + y + 2 * t) % 16;                                      // gradient
    });
  }
  return tiles;
}

// A landscape of hills and sky, 16 x 4 tiles.
// The scene as a plane map 32 tiles wide: its 16 x 4 tiles in order, then the same
// mirrored, for the Enigma block.
Bytes SceneMap() {
  Bytes map;
  for (unsigned y = 0; y < 4; ++y) {
    for (unsigned x = 0; x < 32; ++x) {
      const unsigned word = x < 16 ? y * 16 + x : 0x0800 | (y * 16 + 31 - x);
      map.push_back(static_cast<std::uint8_t>(word >> 8));
      map.push_back(static_cast<std::uint8_t>(word));
    }
  }
  return map;
}

Bytes SceneTiles() {
  Bytes tiles;
  for (unsigned ty = 0; ty < 4; ++ty) {
    for (unsigned tx = 0; tx < 16; ++tx) {
      AddTile(tiles, [&](unsigned x, unsigned y) -> unsigned {
        const unsigned px = tx * 8 + x, py = ty * 8 + y;
        const unsigned hill = 18 + static_cast<unsigned>(6 * (1 + ((px / 16) % 2 ? px % 16 : 15 - px % 16)) / 8);
        if (py > hill) return (px + py) % 4 == 0 ? 5 : 6;  // grass
        return py < 8 ? 15 : py < 16 ? 14 : 13;            // sky
      });
    }
  }
  return tiles;
}

// A Mega Drive palette for the demo art: black, greys, greens for grass, yellows to reds
// for the letters, blues for the sky.
// A tune as a sound driver reads one: a header, then notes and their durations in bars
// that repeat with small changes, and the byte that ends it.
Bytes SongData() {
  Bytes song = {0x00, 0x1E, 0x02, 0x01, 0x01, 0x80, 0x00, 0x0A, 0xF4, 0x00, 0x00, 0x10, 0xE1, 0x00};
  const std::uint8_t notes[] = {0xA1, 0xA5, 0xA8, 0xAD, 0xA8, 0xA5};
  for (unsigned bar = 0; bar < 32; ++bar) {
    for (unsigned n = 0; n < 8; ++n) {
      song.push_back(static_cast<std::uint8_t>(notes[(bar / 2 + n) % 6] + bar % 3));
      song.push_back(n % 4 == 3 ? 0x18 : 0x0C);
    }
    if (bar % 4 == 3) song.insert(song.end(), {0xE0, static_cast<std::uint8_t>(0x40 + bar), 0xF6});
  }
  song.push_back(0xF2);
  return song;
}

Bytes DemoPalette() {
  const unsigned rgb[16][3] = {{0, 0, 0}, {2, 2, 2}, {3, 3, 3}, {1, 1, 4}, {2, 2, 6}, {1, 5, 1}, {0, 3, 0}, {4, 4, 4},
                               {5, 5, 5}, {7, 7, 0}, {7, 6, 0}, {7, 5, 0}, {7, 3, 0}, {4, 6, 7}, {3, 5, 7}, {2, 4, 7}};
  Bytes words;
  for (const auto& c : rgb) {
    const unsigned word = c[2] << 9 | c[1] << 5 | c[0] << 1;
    words.push_back(static_cast<std::uint8_t>(word >> 8));
    words.push_back(static_cast<std::uint8_t>(word));
  }
  return words;
}

void Place(Bytes& rom, std::size_t at, const Bytes& block) { std::copy(block.begin(), block.end(), rom.begin() + at); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::string text =
      "Quarvel Descompressor: este bloco Kosinski guarda um texto de exemplo. "
      "Escolha outra localização na lista e pressione F5 para ver a arte.";

  Bytes rom(0x8000);
  for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<std::uint8_t>(i % 64 < 32 ? 0xFF : i * 37);
  struct Block {
    std::size_t offset;
    quarvel::Format format;
    Bytes data;
    const char* description;
  };
  const Block blocks[] = {
      {0x0400, quarvel::Format::Nemesis, LogoTiles(), "Demo: logotipo (Nemesis)"},
      {0x1000, quarvel::Format::Enigma, SceneMap(), "Demo: mapa da paisagem (Enigma)"},
      {0x2000, quarvel::Format::Kosinski, SceneTiles(), "Demo: paisagem (Kosinski)"},
      {0x3000, quarvel::Format::KosinskiModuled, SceneTiles(), "Demo: paisagem (Kosinski Moduled)"},
      {0x4800, quarvel::Format::Nemesis, SceneTiles(), "Demo: paisagem (Nemesis)"},
      {0x6000, quarvel::Format::Kosinski, Bytes(text.begin(), text.end()), "Demo: texto (Kosinski)"},
      {0x7001, quarvel::Format::Saxman, SongData(), "Demo: música (Saxman)"},
  };
  std::vector<std::string> entries;
  for (const auto& block : blocks) {
    const auto packed = quarvel::CodecOf(block.format).compress(block.data);
    Place(rom, block.offset, *packed);
    entries.push_back(quarvel::FormatEntry(static_cast<std::int32_t>(block.offset), block.format, block.description));
  }

  const auto fail = [](const quarvel::FileFailure& failure) {
    std::fprintf(stderr, "make_demo: %s\n", failure.message.c_str());
    return 1;
  };
  if (const auto written = quarvel::ReplaceFileContents(folder / "demo.bin", rom); !written) return fail(written.error());
  if (const auto written = quarvel::ReplaceFileContents(folder / "demo.pal", DemoPalette()); !written)
    return fail(written.error());
  const auto catalogue = folder / "Custom.dat";
  if (!std::filesystem::exists(catalogue)) {
    if (const auto saved = quarvel::SaveCatalogue(catalogue, entries); !saved) return fail(saved.error());
  }
  return 0;
}
