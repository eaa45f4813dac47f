#include "preview/png_import.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>

#ifdef QUARVEL_PNG_IMPORT
#include <png.h>
#include <zlib.h>
#endif

namespace quarvel {
namespace {

// More pixels than 8,192 tiles many times over: what an image is read up to.
constexpr std::size_t kLargestImage = std::size_t{1} << 24;

constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

bool LooksLikePng(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 8 && std::equal(bytes.begin(), bytes.begin() + 8, kPngSignature);
}

#ifdef QUARVEL_PNG_IMPORT

namespace {

// Packs pixel values (one a byte, `width` a row) into tiles in rows.
std::vector<std::uint8_t> Tiles(const std::vector<std::uint8_t>& pixels, std::size_t width, std::size_t height) {
  std::vector<std::uint8_t> tiles;
  tiles.reserve(pixels.size() / 2);
  for (std::size_t ty = 0; ty < height / 8; ++ty)
    for (std::size_t tx = 0; tx < width / 8; ++tx)
      for (std::size_t y = ty * 8; y < ty * 8 + 8; ++y)
        for (std::size_t x = tx * 8; x < tx * 8 + 8; x += 2)
          tiles.push_back(static_cast<std::uint8_t>(pixels[y * width + x] << 4 | pixels[y * width + x + 1]));
  return tiles;
}

std::string Pixel(std::size_t at, std::size_t width) {
  return "the pixel at (" + std::to_string(at % width) + ", " + std::to_string(at / width) + ")";
}

// What libpng read: rows of indices (one a byte) or of RGBA (8 or 16 bits a channel,
// big-endian), and the alpha of each palette index. Every C++ object that the reading
// touches lives here, outside the function that libpng may leave by longjmp.
struct PngRead {
  std::span<const std::uint8_t> png;
  std::size_t at = 0;
  char problem[256] = {};
  std::uint32_t width = 0, height = 0;
  bool indexed = false;
  bool sixteenBits = false;
  std::array<std::uint8_t, 256> indexAlpha{};
  std::vector<std::uint8_t> rows;
  std::size_t rowBytes = 0;
  std::vector<png_bytep> rowStarts;
};

void Failed(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
  std::strncpy(read->problem, message, sizeof read->problem - 1);
  png_longjmp(png, 1);
}

void Ignored(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep into, png_size_t count) {
  auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
  if (count > read->png.size() - read->at) png_error(png, "the file ends inside the image");
  std::memcpy(into, read->png.data() + read->at, count);
  read->at += count;
}

// Reads the image into `read`; false with `read.problem` set when it cannot. Holds no
// object of its own that a longjmp out of libpng would fail to destroy.
bool ReadWithLibpng(png_structp png, png_infop info, PngRead& read) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_read_fn(png, &read, ReadBytes);
  static constexpr png_byte kText[] = "iCCP\0iTXt\0tEXt\0zTXt\0sPLT\0";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kText, 5);  // nothing more to inflate
  png_read_info(png, info);
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(png, info, &read.width, &read.height, &depth, &type, &interlace, nullptr, nullptr);
  if (read.width % 8 != 0 || read.height % 8 != 0 || read.width == 0 || read.height == 0 ||
      std::size_t{read.width} * read.height > kLargestImage)
    return true;  // the caller says why, with the size
  read.indexed = type == PNG_COLOR_TYPE_PALETTE;
  read.sixteenBits = depth == 16;
  read.indexAlpha.fill(255);
  if (read.indexed) {
    png_bytep alpha = nullptr;
    int count = 0;
    if (png_get_tRNS(png, info, &alpha, &count, nullptr) != 0)
      for (int i = 0; i < count && i < 256; ++i) read.indexAlpha[static_cast<std::size_t>(i)] = alpha[i];
    png_set_packing(png);
  } else {
    png_set_expand(png);  // grey below 8 bits to 8, a transparent colour to alpha
    png_set_gray_to_rgb(png);
    if ((type & PNG_COLOR_MASK_ALPHA) == 0 && png_get_valid(png, info, PNG_INFO_tRNS) == 0)
      png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  read.rowBytes = png_get_rowbytes(png, info);
  read.rows.resize(read.rowBytes * read.height);
  read.rowStarts.resize(read.height);
  for (std::size_t y = 0; y < read.height; ++y) read.rowStarts[y] = read.rows.data() + y * read.rowBytes;
  png_read_image(png, read.rowStarts.data());
  png_read_end(png, nullptr);
  return true;
}

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// The bytes of filtered rows that an image of the header's size, colours and interlace
// needs; nothing when the header is no header, or the image is larger than any read.
std::optional<std::uint64_t> ImageDataNeeded(std::span<const std::uint8_t> png) {
  if (png.size() < 33 || std::memcmp(png.data() + 12, "IHDR", 4) != 0) return std::nullopt;
  const std::uint64_t width = BigEndian32(png.data() + 16), height = BigEndian32(png.data() + 20);
  const unsigned depth = png[24], type = png[25], interlaced = png[28];
  static constexpr unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  if (width * height > kLargestImage || type > 6 || kChannels[type] == 0) return std::nullopt;
  const auto rows = [&](std::uint64_t across, std::uint64_t down) {
    return across == 0 || down == 0 ? 0 : down * (1 + (across * kChannels[type] * depth + 7) / 8);
  };
  if (interlaced == 0) return rows(width, height);
  static constexpr unsigned kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  std::uint64_t needed = 0;
  for (const auto& [x, y, dx, dy] : kAdam7)
    needed += rows(width > x ? (width - x + dx - 1) / dx : 0, height > y ? (height - y + dy - 1) / dy : 0);
  return needed;
}

// Whether the image data (the zlib stream of the IDAT chunks) inflates to more than the
// rows need: it is inflated only that far, so that a small file that inflates to
// gigabytes costs no more than the image it claims to be.
bool MoreImageDataThanNeeded(std::span<const std::uint8_t> png) {
  const auto needed = ImageDataNeeded(png);
  if (!needed) return false;  // libpng says what is wrong
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  std::vector<std::uint8_t> out(64 * 1024);
  std::uint64_t inflated = 0;
  int status = Z_OK;
  for (std::size_t at = 8; at + 12 <= png.size() && status == Z_OK && inflated <= *needed;) {
    const std::uint32_t length = BigEndian32(png.data() + at);
    if (length > png.size() - at - 12) break;
    const bool data = std::memcmp(png.data() + at + 4, "IDAT", 4) == 0;
    if (std::memcmp(png.data() + at + 4, "IEND", 4) == 0) break;
    if (data) {
      stream.next_in = const_cast<Bytef*>(png.data() + at + 8);
      stream.avail_in = length;
      while (stream.avail_in > 0 && status == Z_OK && inflated <= *needed) {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(std::min<std::uint64_t>(out.size(), *needed + 1 - inflated));
        status = inflate(&stream, Z_NO_FLUSH);
        inflated += static_cast<uInt>(stream.next_out - out.data());
      }
    }
    at += std::size_t{length} + 12;
  }
  inflateEnd(&stream);
  return inflated > *needed;
}

// A channel of 16 bits as the 8-bit value it was made from (v * 257), or -1.
int EightBits(const std::uint8_t* channel) {
  const unsigned value = unsigned{channel[0]} << 8 | channel[1];
  return value % 257 == 0 ? static_cast<int>(value / 257) : -1;
}

// The index of `colour` in the palette's lines: the first exact one, else (Nearest) the
// first of those whose largest channel difference is least, if it is within reach.
std::optional<std::size_t> PaletteIndex(const std::vector<Palette>& palette, Rgb colour, ColourMatch match) {
  std::optional<std::size_t> nearest;
  int nearestDistance = match == ColourMatch::Nearest ? kNearestColourReach + 1 : 1;
  for (std::size_t i = 0; i < 16 * palette.size(); ++i) {
    const Rgb& c = palette[i / 16][i % 16];
    const int distance = std::max({std::abs(c.r - colour.r), std::abs(c.g - colour.g), std::abs(c.b - colour.b)});
    if (distance < nearestDistance) nearestDistance = distance, nearest = i;
  }
  return nearest;
}

}  // namespace

bool CanReadPng() { return true; }

Expected<ImportedTiles, PngProblem> TilesFromPng(std::span<const std::uint8_t> png, const std::vector<Palette>& palette,
                                                 ColourMatch match) {
  using Kind = PngProblem::Kind;
  PngRead read;
  read.png = png;
  if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) return Fail(PngProblem{Kind::NotPng, "it is not a PNG image"});
  if (MoreImageDataThanNeeded(png)) {
    const std::uint32_t width = BigEndian32(png.data() + 16), height = BigEndian32(png.data() + 20);
    return Fail(PngProblem{Kind::TooMuchData, "the image holds more data than its " + std::to_string(width) + " x " +
                                                  std::to_string(height) + " pixels need",
                           width, height});
  }
  png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, Failed, Ignored);
  png_infop info = reader != nullptr ? png_create_info_struct(reader) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&reader, nullptr, nullptr);
    return Fail(PngProblem{Kind::Unreadable, "there is not memory enough to read the image"});
  }
  const bool readable = ReadWithLibpng(reader, info, read);
  png_destroy_read_struct(&reader, &info, nullptr);
  const std::string size = std::to_string(read.width) + " x " + std::to_string(read.height) + " pixels";
  const auto problem = [&read](Kind kind, std::string message, std::size_t at = 0) {
    const std::uint32_t width = std::max<std::uint32_t>(read.width, 1);
    return PngProblem{kind, std::move(message), read.width, read.height, static_cast<std::uint32_t>(at % width),
                      static_cast<std::uint32_t>(at / width)};
  };
  if (!readable) return Fail(problem(Kind::Unreadable, "the image cannot be read: " + std::string(read.problem)));
  if (read.width % 8 != 0 || read.height % 8 != 0 || read.width == 0 || read.height == 0)
    return Fail(problem(Kind::NotWholeTiles, "the image is " + size + "; tiles need a width and a height that are multiples of 8"));
  if (read.rows.empty())
    return Fail(problem(Kind::TooManyPixels, "the image is " + size + "; more than 16,777,216 pixels are more tiles than any block holds"));

  const std::size_t width = read.width, height = read.height;
  ImportedTiles imported;
  std::vector<std::uint8_t> pixels(width * height);
  const auto partly = [&](std::size_t at) {
    return Fail(problem(Kind::PartlyTransparent,
                   Pixel(at, width) + " is partly transparent; a tile's pixel is a colour, or transparent as colour 0", at));
  };
  bool folded = false;
  for (std::size_t at = 0; at < pixels.size(); ++at) {
    const std::uint8_t* row = read.rows.data() + at / width * read.rowBytes;
    if (read.indexed) {
      const unsigned index = row[at % width];
      const unsigned alpha = read.indexAlpha[index];
      if (alpha == 0) continue;  // transparent: colour 0 of its line
      if (alpha != 255) return partly(at);
      if (index > 63) {
        PngProblem high = problem(Kind::IndexTooHigh, Pixel(at, width) + " has colour index " + std::to_string(index) + "; tiles take 0 to 63", at);
        high.index = index;
        return Fail(high);
      }
      folded = folded || index > 15;
      pixels[at] = static_cast<std::uint8_t>(index % 16);
      continue;
    }
    const std::size_t step = read.sixteenBits ? 2 : 1;
    const std::uint8_t* channels = row + at % width * 4 * step;
    std::array<int, 4> rgba{};
    for (std::size_t c = 0; c < 4; ++c) rgba[c] = read.sixteenBits ? EightBits(channels + 2 * c) : channels[c];
    if (rgba[3] == 0) continue;  // transparent: colour 0 of its line
    if (rgba[3] != 255) return partly(at);
    if (rgba[0] < 0 || rgba[1] < 0 || rgba[2] < 0) {
      return Fail(problem(Kind::Wide16Bits, Pixel(at, width) + " has a 16-bit colour that no 8-bit colour makes; a palette "
                                                          "colour has 8 bits a channel (save the image with 8 bits a channel)",
                     at));
    }
    if (palette.empty()) return Fail(problem(Kind::NoPalette, "the image has colours, not colour indices: give the palette it uses"));
    const Rgb colour{static_cast<std::uint8_t>(rgba[0]), static_cast<std::uint8_t>(rgba[1]), static_cast<std::uint8_t>(rgba[2])};
    const auto found = PaletteIndex(palette, colour, match);
    if (!found) {
      PngProblem lacking = problem(Kind::NotInPalette,
                             Pixel(at, width) + " has the colour (" + std::to_string(colour.r) + ", " +
                                 std::to_string(colour.g) + ", " + std::to_string(colour.b) +
                                 "), which the palette does not hold" +
                                 (match == ColourMatch::Nearest ? " within " + std::to_string(kNearestColourReach) + " a channel" : ""),
                             at);
      lacking.colour = colour;
      return Fail(lacking);
    }
    pixels[at] = static_cast<std::uint8_t>(*found % 16);
  }
  if (folded) imported.warnings.emplace_back("colour indices 16 to 63 were taken as 0 to 15 of their palette line");
  imported.tiles = Tiles(pixels, width, height);
  return imported;
}

#else

bool CanReadPng() { return false; }

Expected<ImportedTiles, PngProblem> TilesFromPng(std::span<const std::uint8_t>, const std::vector<Palette>&, ColourMatch) {
  return Fail(PngProblem{PngProblem::Kind::NotPng, "this build of the tool reads no PNG images (it was built without libpng)"});
}

#endif

}  // namespace quarvel
