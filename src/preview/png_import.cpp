#include "preview/png_import.h"

#ifdef QUARVEL_PNG_IMPORT
#include <png.h>
#endif

namespace quarvel {
namespace {

// More pixels than 8,192 tiles many times over: what an image is read up to.
constexpr std::size_t kLargestImage = std::size_t{1} << 24;

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

}  // namespace

#ifdef QUARVEL_PNG_IMPORT

bool CanReadPng() { return true; }

Expected<ImportedTiles, std::string> TilesFromPng(std::span<const std::uint8_t> png, const std::vector<Palette>& palette) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0)
    return Fail("it is not a PNG image that can be read: " + std::string(image.message));
  const std::size_t width = image.width, height = image.height;
  if (width % 8 != 0 || height % 8 != 0 || width == 0 || height == 0) {
    png_image_free(&image);
    return Fail("the image is " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels; tiles need a width and a height that are multiples of 8");
  }
  if (width * height > kLargestImage) {
    png_image_free(&image);
    return Fail("the image is " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels; more than 16,777,216 pixels are more tiles than any block holds");
  }
  const bool indexed = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  image.format = indexed ? PNG_FORMAT_RGB_COLORMAP : PNG_FORMAT_RGB;
  std::vector<std::uint8_t> buffer(PNG_IMAGE_SIZE(image));
  std::vector<std::uint8_t> colourMap(indexed ? PNG_IMAGE_COLORMAP_SIZE(image) : 0);
  if (png_image_finish_read(&image, nullptr, buffer.data(), 0, indexed ? colourMap.data() : nullptr) == 0)
    return Fail("the image cannot be read: " + std::string(image.message));

  ImportedTiles imported;
  std::vector<std::uint8_t> pixels(width * height);
  if (indexed) {
    bool folded = false;
    for (std::size_t at = 0; at < pixels.size(); ++at) {
      const unsigned index = buffer[at];
      if (index > 63) return Fail(Pixel(at, width) + " has colour index " + std::to_string(index) + "; tiles take 0 to 63");
      folded = folded || index > 15;
      pixels[at] = static_cast<std::uint8_t>(index % 16);
    }
    if (folded) imported.warnings.emplace_back("colour indices 16 to 63 were taken as 0 to 15 of their palette line");
  } else {
    if (palette.empty()) return Fail(std::string("the image has colours, not colour indices: give the palette it uses"));
    for (std::size_t at = 0; at < pixels.size(); ++at) {
      const Rgb colour{buffer[3 * at], buffer[3 * at + 1], buffer[3 * at + 2]};
      std::size_t found = 16 * palette.size();
      for (std::size_t i = 0; i < 16 * palette.size() && found == 16 * palette.size(); ++i)
        if (palette[i / 16][i % 16] == colour) found = i;
      if (found == 16 * palette.size()) {
        return Fail(Pixel(at, width) + " has the colour (" + std::to_string(colour.r) + ", " + std::to_string(colour.g) +
                    ", " + std::to_string(colour.b) + "), which the palette does not hold");
      }
      pixels[at] = static_cast<std::uint8_t>(found % 16);
    }
  }
  imported.tiles = Tiles(pixels, width, height);
  return imported;
}

#else

bool CanReadPng() { return false; }

Expected<ImportedTiles, std::string> TilesFromPng(std::span<const std::uint8_t>, const std::vector<Palette>&) {
  return Fail(std::string("this build of the tool reads no PNG images (it was built without libpng)"));
}

#endif

}  // namespace quarvel
