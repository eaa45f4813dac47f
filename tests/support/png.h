// PNG images written by hand, for what an editor may save.
#pragma once

#include <zlib.h>

#include <vector>

#include "support/bytes.h"

namespace quarvel::testing {

struct Chunk {
  const char* type;
  Bytes data;
};

// A PNG written by hand: `samples` row by row as the colour type and depth lay them out,
// `chunks` before the image data, and `excess` zero bytes more image data than the rows;
// with a `filter`, the samples are given as that filter leaves them.
inline Bytes HandPng(unsigned width, unsigned height, std::uint8_t colourType, std::uint8_t depth, const Bytes& samples,
              const std::vector<Chunk>& chunks = {}, std::size_t excess = 0, std::uint8_t filter = 0) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&png](const char* type, const Bytes& data) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(data.size() >> shift));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const auto crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(crc >> shift));
  };
  Bytes header;
  for (const unsigned value : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<std::uint8_t>(value >> shift));
  header.insert(header.end(), {depth, colourType, 0, 0, 0});
  const std::size_t rowBytes = samples.size() / height;
  Bytes rows;
  for (unsigned y = 0; y < height; ++y) {
    rows.push_back(filter);
    rows.insert(rows.end(), samples.begin() + y * rowBytes, samples.begin() + (y + 1) * rowBytes);
  }
  rows.resize(rows.size() + excess, 0);
  Bytes packed(compressBound(static_cast<uLong>(rows.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()));
  packed.resize(packedSize);
  chunk("IHDR", header);
  for (const auto& [type, data] : chunks) chunk(type, data);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return png;
}

// A truecolour PNG of `rgb` (three bytes a pixel, row by row).
inline Bytes RgbPng(unsigned width, unsigned height, const Bytes& rgb) { return HandPng(width, height, 2, 8, rgb); }

}  // namespace quarvel::testing
