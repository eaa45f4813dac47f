#include "preview/png_decode.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace quarvel {
namespace {

constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The samples of a pixel of each colour type; 0 for no such type.
constexpr unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};

// Where a pass's pixels are: the first's column and row, and the steps between them.
struct Pass {
  unsigned x, y, dx, dy;
};
constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

struct Header {
  std::uint32_t width = 0, height = 0;
  unsigned depth = 0, type = 0;
  bool interlaced = false;

  std::span<const Pass> Passes() const { return interlaced ? std::span<const Pass>(kAdam7) : kWhole; }
  // A pass's columns and rows.
  std::pair<std::uint64_t, std::uint64_t> Size(const Pass& p) const {
    return {width > p.x ? (width - p.x + p.dx - 1) / p.dx : 0, height > p.y ? (height - p.y + p.dy - 1) / p.dy : 0};
  }
  std::uint64_t RowBytes(std::uint64_t columns) const { return (columns * kChannels[type] * depth + 7) / 8; }
  // The bytes of filtered rows (a filter byte each) that the image needs.
  std::uint64_t DataNeeded() const {
    std::uint64_t needed = 0;
    for (const Pass& pass : Passes())
      if (const auto [columns, rows] = Size(pass); columns > 0) needed += rows * (1 + RowBytes(columns));
    return needed;
  }
};

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Sample `i` of a row of samples of `depth` bits (1, 2, 4, 8 or 16).
unsigned Sample(const std::uint8_t* row, std::size_t i, unsigned depth) {
  if (depth == 16) return unsigned{row[2 * i]} << 8 | row[2 * i + 1];
  if (depth == 8) return row[i];
  const std::size_t bit = i * depth;
  return row[bit / 8] >> (8 - depth - bit % 8) & ((1u << depth) - 1);
}

// Undoes a row's filter, with the pass's row before it (nothing for the first).
void Unfilter(unsigned filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes, std::size_t pixelBytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    const int a = i >= pixelBytes ? row[i - pixelBytes] : 0, b = prior ? prior[i] : 0,
              c = prior && i >= pixelBytes ? prior[i - pixelBytes] : 0;
    int predicted = 0;
    switch (filter) {
      case 1: predicted = a; break;
      case 2: predicted = b; break;
      case 3: predicted = (a + b) / 2; break;
      case 4: {
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        break;
      }
      default: break;
    }
    row[i] = static_cast<std::uint8_t>(row[i] + predicted);
  }
}

// Inflates the image data, `needed` bytes and no more.
Expected<std::vector<std::uint8_t>, PngDecodeError> Inflate(const std::vector<std::span<const std::uint8_t>>& chunks,
                                                           std::uint64_t needed, const Header& header) {
  const auto fail = [&](PngDecodeError::Kind kind, std::string message) {
    return Fail(PngDecodeError{kind, std::move(message), header.width, header.height});
  };
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK)
    return fail(PngDecodeError::Kind::Unreadable, "there is not memory enough to read the image");
  std::vector<std::uint8_t> data;  // grown as it inflates, so that what is allocated is what the file holds
  std::size_t filled = 0;
  int status = Z_OK;
  bool past = false;
  for (auto chunk = chunks.begin(); chunk != chunks.end() && status == Z_OK && !past; ++chunk) {
    stream.next_in = const_cast<Bytef*>(chunk->data());
    stream.avail_in = static_cast<uInt>(chunk->size());
    while (stream.avail_in > 0 && status == Z_OK && !past) {
      std::uint8_t spare = 0;
      if (filled == needed) {
        stream.next_out = &spare, stream.avail_out = 1;
      } else {
        if (filled == data.size())
          data.resize(std::min<std::uint64_t>(needed, std::max<std::size_t>(data.size() * 2, 1 << 16)));
        stream.next_out = data.data() + filled;
        stream.avail_out = static_cast<uInt>(std::min<std::size_t>(data.size() - filled, 1u << 30));
      }
      const uInt room = stream.avail_out;
      status = inflate(&stream, Z_NO_FLUSH);
      past = filled == needed && stream.avail_out < room;
      if (!past) filled += room - stream.avail_out;
    }
  }
  const std::string problem = stream.msg ? stream.msg : "";
  inflateEnd(&stream);
  using Kind = PngDecodeError::Kind;
  if (past) {
    return fail(Kind::TooMuchData, "the image holds more data than its " + std::to_string(header.width) + " x " +
                                       std::to_string(header.height) + " pixels need");
  }
  if (status == Z_MEM_ERROR) return fail(Kind::Unreadable, "there is not memory enough to read the image");
  if (status != Z_OK && status != Z_STREAM_END) return fail(Kind::Unreadable, "the image data is corrupt (" + problem + ")");
  if (filled < needed) return fail(Kind::Unreadable, "the image data ends before its last row");
  if (status != Z_STREAM_END) return fail(Kind::Unreadable, "the image data is cut short after its last row");
  return data;
}

}  // namespace

bool LooksLikePng(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 8 && std::equal(bytes.begin(), bytes.begin() + 8, kSignature);
}

Expected<DecodedPng, PngDecodeError> DecodePng(std::span<const std::uint8_t> png, std::uint64_t largestImage) {
  using Kind = PngDecodeError::Kind;
  if (!LooksLikePng(png))
    return Fail(PngDecodeError{Kind::NotPng, "it is not a PNG image"});
  Header header;
  const auto fail = [&](std::string message) {
    return Fail(PngDecodeError{Kind::Unreadable, std::move(message), header.width, header.height});
  };

  // The chunks: the header first, a palette before the image data, whose chunks follow
  // one another, and IEND last.
  std::vector<std::span<const std::uint8_t>> data;
  std::optional<std::size_t> paletteSize;
  std::span<const std::uint8_t> transparent;
  bool seenTransparent = false;
  enum class Data { Before, In, After } place = Data::Before;
  for (std::size_t at = 8;;) {
    const std::string where = " at byte " + std::to_string(at);
    if (png.size() - at < 12) return fail("the file ends" + where + ", before its last chunk (IEND)");
    const std::uint32_t length = BigEndian32(png.data() + at);
    if (length > png.size() - at - 12) return fail("the chunk" + where + " is longer than the rest of the file");
    const std::uint8_t* type = png.data() + at + 4;
    const std::string name(type, type + 4);
    const std::span<const std::uint8_t> body = png.subspan(at + 8, length);
    at += std::size_t{length} + 12;
    if (!std::all_of(type, type + 4, [](std::uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
      return fail("the chunk" + where + " has no chunk type");
    const bool critical = (type[0] & 0x20) == 0;
    if ((critical || name == "tRNS") &&
        crc32(0, type, static_cast<uInt>(length + 4)) != BigEndian32(type + 4 + length))
      return fail("the " + name + " chunk" + where + " is damaged: its CRC does not match");
    if (header.width == 0 && name != "IHDR") return fail("the image does not begin with its header (IHDR)");
    if (header.width != 0 && name == "IHDR") return fail("the image has a second header (IHDR)" + where);
    if (place == Data::In && name != "IDAT") place = Data::After;
    if (name == "IHDR") {
      if (length != 13) return fail("the header (IHDR) is " + std::to_string(length) + " bytes, not 13");
      const std::uint32_t width = BigEndian32(body.data()), height = BigEndian32(body.data() + 4);
      header.depth = body[8], header.type = body[9];
      const unsigned depth = header.depth, type = header.type;
      const bool lowDepth = (type == 0 || type == 3) && (depth == 1 || depth == 2 || depth == 4);
      const bool depthFits = type < 7 && kChannels[type] > 0 && (depth == 8 || depth == 16 || lowDepth) &&
                             !(type == 3 && depth == 16);
      if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || !depthFits || body[10] != 0 ||
          body[11] != 0 || body[12] > 1)
        return fail("the header (IHDR) is of no image: " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels, colour type " + std::to_string(type) + " of " + std::to_string(depth) + " bits, methods " +
                    std::to_string(body[10]) + ", " + std::to_string(body[11]) + " and " + std::to_string(body[12]));
      header.width = width, header.height = height, header.interlaced = body[12] == 1;
    } else if (name == "PLTE" && header.type == 3) {  // of other images, a suggestion only: passed over
      if (paletteSize || place != Data::Before) return fail("the palette (PLTE)" + where + " is out of place");
      if (length == 0 || length % 3 != 0 || length > 768)
        return fail("the palette (PLTE) is of " + std::to_string(length) + " bytes");
      paletteSize = length / 3;
    } else if (name == "tRNS") {
      // Taken as the first before the image data, after the palette of an indexed image.
      if (!seenTransparent && place == Data::Before && (header.type != 3 || paletteSize)) transparent = body;
      seenTransparent = true;
    } else if (name == "IDAT") {
      if (place == Data::After) return fail("the image data" + where + " is apart from the image data before it");
      place = Data::In;
      data.push_back(body);
    } else if (name == "IEND") {
      break;
    } else if (critical && name != "PLTE") {
      return fail("the chunk" + where + " is of an unknown critical type (" + name + ")");
    }
  }
  if (data.empty()) return fail("the image has no image data (IDAT)");
  if (header.type == 3 && !paletteSize) return fail("the indexed image has no palette (PLTE)");

  DecodedPng decoded;
  decoded.width = header.width, decoded.height = header.height;
  decoded.indexed = header.type == 3, decoded.sixteenBits = header.depth == 16;
  decoded.indexAlpha.fill(255);
  if (std::uint64_t{header.width} * header.height > largestImage) return decoded;
  auto filtered = Inflate(data, header.DataNeeded(), header);
  if (!filtered) return Fail(filtered.error());

  // The colour that tRNS makes transparent (when it is of the size the colour type needs).
  const unsigned channels = kChannels[header.type], top = (1u << header.depth) - 1;
  std::optional<std::array<unsigned, 3>> clear;
  if (header.type == 3 && transparent.size() <= *paletteSize) {
    std::copy(transparent.begin(), transparent.end(), decoded.indexAlpha.begin());
  } else if ((header.type == 0 && transparent.size() == 2) || (header.type == 2 && transparent.size() == 6)) {
    clear.emplace();
    for (std::size_t c = 0; c < transparent.size() / 2; ++c)
      (*clear)[c] = (transparent[2 * c] << 8 | transparent[2 * c + 1]) & top;
  }

  const std::size_t outBytes = decoded.indexed ? 1 : decoded.sixteenBits ? 8 : 4;
  decoded.rowBytes = header.width * outBytes;
  decoded.rows.resize(decoded.rowBytes * header.height);
  std::uint8_t* at = filtered->data();
  const auto passes = header.Passes();
  for (std::size_t p = 0; p < passes.size(); ++p) {
    const Pass& pass = passes[p];
    const auto [columns, rows] = header.Size(pass);
    const std::size_t rowBytes = header.RowBytes(columns), pixelBytes = std::max(1u, channels * header.depth / 8);
    const std::uint8_t* prior = nullptr;
    for (std::size_t j = 0; columns > 0 && j < rows; ++j, at += 1 + rowBytes) {
      if (*at > 4) {
        return fail("row " + std::to_string(j) + (header.interlaced ? " of pass " + std::to_string(p + 1) : "") +
                    " has an unknown filter (" + std::to_string(*at) + ")");
      }
      std::uint8_t* row = at + 1;
      Unfilter(*at, row, prior, rowBytes, pixelBytes);
      prior = row;
      std::uint8_t* out = decoded.rows.data() + (pass.y + j * pass.dy) * decoded.rowBytes;
      for (std::size_t i = 0; i < columns; ++i) {
        std::uint8_t* pixel = out + (pass.x + i * pass.dx) * outBytes;
        const auto sample = [&](unsigned c) { return Sample(row, i * channels + c, header.depth); };
        if (decoded.indexed) {
          *pixel = static_cast<std::uint8_t>(sample(0));
          continue;
        }
        std::array<unsigned, 4> rgba{};
        if (channels <= 2) rgba = {sample(0), sample(0), sample(0), channels == 2 ? sample(1) : top};
        else rgba = {sample(0), sample(1), sample(2), channels == 4 ? sample(3) : top};
        if (clear && (*clear)[0] == rgba[0] && (channels == 1 || ((*clear)[1] == rgba[1] && (*clear)[2] == rgba[2])))
          rgba[3] = 0;
        for (std::size_t c = 0; c < 4; ++c) {
          if (decoded.sixteenBits) {
            pixel[2 * c] = static_cast<std::uint8_t>(rgba[c] >> 8), pixel[2 * c + 1] = static_cast<std::uint8_t>(rgba[c]);
          } else {
            pixel[c] = static_cast<std::uint8_t>(rgba[c] * 255 / top);
          }
        }
      }
    }
  }
  return decoded;
}

}  // namespace quarvel
