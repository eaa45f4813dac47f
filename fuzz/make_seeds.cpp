// Writes the seed corpus of every fuzz target: valid inputs of each kind, one file each,
// into DIR/<target>/.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_file.h"
#include "encoders/enigma_compressor.h"
#include "preview/tile_image.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/kosinski_moduled_compressor.h"
#include "encoders/kosinski_writer.h"
#include "encoders/nemesis_compressor.h"
#include "encoders/saxman_compressor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Write(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes KosinskiRandom(unsigned seed, std::size_t size) {
  std::mt19937 random(seed);
  auto pick = [&](unsigned low, unsigned high) { return std::uniform_int_distribution<unsigned>(low, high)(random); };
  quarvel::KosinskiWriter writer;
  for (std::size_t done = 0; done < size;) {
    const unsigned kind = done == 0 ? 0 : pick(0, 3);
    if (kind == 0) {
      writer.Literal(static_cast<std::uint8_t>(pick(0, 255)));
      ++done;
    } else if (kind == 1) {
      const unsigned count = pick(2, 5);
      writer.InlineCopy(pick(1, static_cast<unsigned>(std::min<std::size_t>(256, done))), count);
      done += count;
    } else {
      const unsigned count = pick(3, kind == 2 ? 9 : 64);
      writer.FullCopy(pick(1, static_cast<unsigned>(std::min<std::size_t>(8192, done))), count, kind == 3);
      done += count;
    }
  }
  return writer.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];

  // Each input is decoded at offsets 0, 1 and 3: seeds start at offset 0.
  const auto kosinski = root / "kosinski";
  Write(kosinski, "literals", {0x17, 0x00, 0x61, 0x62, 0x63, 0x00, 0xF0, 0x00});
  Write(kosinski, "inline", {0x59, 0x00, 0x61, 0xFF, 0x00, 0x00, 0x00});
  Write(kosinski, "extended", {0x2B, 0x00, 0x41, 0x42, 0xFE, 0xF8, 0x05, 0x00, 0x00, 0x00});
  Write(kosinski, "random-small", KosinskiRandom(1, 300));
  Write(kosinski, "random-large", KosinskiRandom(2, 6000));

  const auto nemesis = root / "nemesis";
  const Bytes table = {0x80, 0x02, 0x00, 0x81, 0x02, 0x01, 0x8F, 0x72, 0x02, 0xFF};
  Bytes plain = {0x00, 0x02};
  Bytes xorMode = {0x80, 0x02};
  plain.insert(plain.end(), table.begin(), table.end());
  xorMode.insert(xorMode.end(), table.begin(), table.end());
  for (int i = 0; i < 16; ++i) {
    for (const std::uint8_t byte : {0x1B, 0x55, 0xE7, 0xF8}) {  // 00 01 10 11..., inline codes
      plain.push_back(byte);
      xorMode.push_back(byte);
    }
  }
  Write(nemesis, "plain", plain);
  Write(nemesis, "xor", xorMode);
  Write(nemesis, "empty", {0x00, 0x00, 0xFF});
  Write(nemesis, "ones", {0x00, 0x01, 0x81, 0x71, 0x00, 0xFF, 0x00});

  const auto catalogue = root / "catalogue";
  Write(catalogue, "saved", quarvel::SerializeCatalogue({"0001A2B0 - <K> - Rings", "FFFF8000 - <N> - Sprites"}));
  Write(catalogue, "hand-written", Text("00000010 - <K> - a, b\r\n\"x\" junk\n  \"unterminated"));
  const auto catalogueFile = root / "catalogue_file";
  Write(catalogueFile, "saved", quarvel::SerializeCatalogue({"0001A2B0 - <K> - Anéis", "FFFF8000 - <N> - Sprites"}));
  Write(catalogueFile, "hand-written", Text("00000010 - <K> - a, b\r\n\"x\" junk\n  \"unterminated\r\n\"next\""));

  // What the compressors make, for the decoders; and data for the round trip.
  Bytes tiles;
  for (int i = 0; i < 64 * 32; ++i) tiles.push_back(static_cast<std::uint8_t>(i / 24 % 5 * 0x12));
  Write(kosinski, "compressed-tiles", *quarvel::CompressKosinski(tiles));
  Write(nemesis, "compressed-tiles", *quarvel::CompressNemesis(tiles));
  const auto enigma = root / "enigma";
  Write(enigma, "worked-example", {0x05, 0x18, 0x00, 0x01, 0x00, 0x00, 0x09, 0x1A, 0x51, 0x38, 0xA7, 0x3F, 0xFC});
  Bytes map;
  for (int i = 0; i < 40 * 28; ++i) {
    const int word = i % 40 < 20 ? 0x2100 + i / 40 * 20 + i % 40 : i % 7 == 0 ? 0x0800 : 0;
    map.push_back(static_cast<std::uint8_t>(word >> 8));
    map.push_back(static_cast<std::uint8_t>(word));
  }
  Write(enigma, "compressed-map", *quarvel::CompressEnigma(map));
  Bytes moduledArt;
  for (int i = 0; i < 0x1800; ++i) moduledArt.push_back(static_cast<std::uint8_t>(i / 40 % 9 * 0x11));
  Write(root / "kosinski_moduled", "compressed-art", *quarvel::CompressKosinskiModuled(moduledArt));
  Write(root / "png_import", "tiles", quarvel::EncodePng(*quarvel::RenderTiles(tiles, quarvel::GreyPalette(), 8, 1)));
  const quarvel::PictureLayout layout{"nemesis", tiles.size() / 32, 8, 2, 0, "seed.bin@0x400"};
  Write(root / "png_import", "tiles-with-layout",
        quarvel::EncodePng(*quarvel::RenderTiles(tiles, quarvel::GreyPalette(), 8, 2), &layout));
  const auto saxman = root / "saxman";
  Write(saxman, "zero-fill-and-overlap", {0x07, 0x00, 0x06, 0x00, 0xED, 0xF2, 0x41, 0x42, 0xF3, 0xF1});
  Write(saxman, "compressed-tiles", *quarvel::CompressSaxman(tiles));
  Write(saxman, "games-own-map", *quarvel::CompressSaxmanAccurate(map));
  const auto roundtrip = root / "roundtrip";
  Write(roundtrip, "tiles", tiles);
  Write(roundtrip, "text", Text("Sonic the Hedgehog, Sonic the Hedgehog 2, Sonic 3 & Knuckles"));
  // The C library's: a choice of format and mode, an offset, then the data.
  const auto capi = [&](const std::string& name, std::uint8_t choice, const Bytes& data) {
    Bytes input = {choice, 0, 0};
    input.insert(input.end(), data.begin(), data.end());
    Write(root / "capi", name, input);
  };
  capi("kosinski-tiles", 0x00, *quarvel::CompressKosinski(tiles));
  capi("nemesis-tiles-s3k", 0x29, *quarvel::CompressNemesis(tiles));
  capi("enigma-map-s1", 0x12, *quarvel::CompressEnigma(map));
  capi("moduled-art", 0x03, *quarvel::CompressKosinskiModuled(moduledArt));
  capi("saxman-map", 0x0C, *quarvel::CompressSaxmanAccurate(map));
  capi("named-format", 0x05, Text("kosm"));
  Bytes rom(0x400);
  const std::string header = "SEGA MEGA DRIVE (C)SEGA 1991.APRSONIC THE HEDGEHOG";
  std::copy(header.begin(), header.end(), rom.begin() + 0x100);
  capi("rom-header", 0x00, rom);
  Write(root / "accurate", "tiles", tiles);
  Write(root / "accurate", "map", map);

  const auto offset = root / "offset_text";
  for (const char* text : {"1A2B", "ffffffff", " -5 ", "+2147483647", "0001A2B0"}) Write(offset, text, Text(text));
  return 0;
}
