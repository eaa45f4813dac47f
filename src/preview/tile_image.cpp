#include "preview/tile_image.h"

#include <zlib.h>

#include <algorithm>

namespace quarvel {

Palette GreyPalette() {
  Palette palette;
  for (unsigned i = 0; i < 16; ++i) {
    const auto level = static_cast<std::uint8_t>(17 * i);
    palette[i] = {level, level, level};
  }
  return palette;
}

Expected<Palette, std::string> ParseMegaDrivePalette(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 32) {
    return Fail("a palette holds 16 colours of 2 bytes, 32 bytes; this one has " + std::to_string(bytes.size()));
  }
  auto level = [](unsigned word, unsigned shift) {
    return static_cast<std::uint8_t>((((word >> shift) & 7u) * 255u + 3) / 7);  // v * 255 / 7, rounded
  };
  Palette palette;
  for (unsigned i = 0; i < 16; ++i) {
    const unsigned word = unsigned{bytes[2 * i]} << 8 | bytes[2 * i + 1];
    palette[i] = {level(word, 1), level(word, 5), level(word, 9)};
  }
  return palette;
}

Expected<TileImage, std::string> RenderTiles(std::span<const std::uint8_t> data, const Palette& palette,
                                             unsigned columns, unsigned zoom) {
  if (data.empty()) return Fail(std::string("there are no tiles to show"));
  if (columns == 0) return Fail(std::string("a row holds at least one tile"));
  if (zoom < 1 || zoom > kMaxZoom) return Fail("the zoom is " + std::to_string(zoom) + "; it goes from 1 to 8");
  const std::size_t tiles = (data.size() + 31) / 32;
  const std::size_t across = std::min<std::size_t>(columns, tiles);
  const std::size_t down = (tiles + across - 1) / across;
  TileImage image;
  image.width = static_cast<unsigned>(across * 8 * zoom);
  image.height = static_cast<unsigned>(down * 8 * zoom);
  image.palette = palette;
  image.pixels.assign(std::size_t{image.width} * image.height, 0);
  for (std::size_t at = 0; at < data.size(); ++at) {
    const std::size_t tile = at / 32, row = at % 32 / 4, column = at % 4 * 2;
    const std::size_t x = (tile % across * 8 + column) * zoom, y = (tile / across * 8 + row) * zoom;
    for (unsigned half = 0; half < 2; ++half) {
      const auto pixel = static_cast<std::uint8_t>(half == 0 ? data[at] >> 4 : data[at] & 0x0F);
      for (unsigned dy = 0; dy < zoom; ++dy) {
        std::uint8_t* line = image.pixels.data() + (y + dy) * image.width + x + half * zoom;
        std::fill(line, line + zoom, pixel);
      }
    }
  }
  return image;
}

namespace {

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
}

void PutChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
  PutWord(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutWord(png, static_cast<std::uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const TileImage& image) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutWord(header, image.width);
  PutWord(header, image.height);
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8 bits, indexed colour, deflate, no filter, no interlace
  PutChunk(png, "IHDR", header);

  std::vector<std::uint8_t> colours;
  for (const Rgb& c : image.palette) colours.insert(colours.end(), {c.r, c.g, c.b});
  PutChunk(png, "PLTE", colours);

  std::vector<std::uint8_t> raw;  // each row after its filter byte, 0: none
  raw.reserve(std::size_t{image.height} * (image.width + 1));
  for (unsigned y = 0; y < image.height; ++y) {
    raw.push_back(0);
    const auto* row = image.pixels.data() + std::size_t{y} * image.width;
    raw.insert(raw.end(), row, row + image.width);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace quarvel
