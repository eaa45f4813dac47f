// Reading a PNG image into rows of pixels, as the art import takes them: every colour
// type and bit depth, interlaced or not, over zlib's inflate.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.h"

namespace quarvel {

struct DecodedPng {
  std::uint32_t width = 0, height = 0;
  bool indexed = false;      // rows of colour indices, a byte a pixel
  bool sixteenBits = false;  // else rows of RGBA, 8 bits a channel or (sixteenBits) 16, big-endian
  std::array<std::uint8_t, 256> indexAlpha{};  // of each colour index: 255 but where tRNS says
  std::vector<std::uint8_t> rows;              // empty when the image has more pixels than were to be read
  std::size_t rowBytes = 0;
};

struct PngDecodeError {
  enum class Kind {
    NotPng,       // no PNG signature
    TooMuchData,  // image data that inflates past what the rows need
    Unreadable,   // any other fault of the file
  } kind;
  std::string message;
  std::uint32_t width = 0, height = 0;  // from the header, once read
};

// Reads `png`: the header, and the pixels when the image has at most `largestImage`.
// Grey is given as RGB (below 8 bits scaled to 8), a tRNS colour as alpha 0, no alpha as
// opaque; ancillary chunks but tRNS are passed over.
//
// Never reads outside `png`; allocates as the image data inflates, and for the pixels
// once it has inflated whole: at most for `largestImage` pixels. Fails for a file that breaks the format: a chunk that
// the file does not hold whole, a CRC that does not match (of each chunk it reads), an
// unknown critical chunk, a header of impossible values, an indexed image without a
// palette, image data that is corrupt (its zlib checksum too), ends before the last
// row, or inflates past it (TooMuchData, found before more is inflated), or a row of an
// unknown filter.
Expected<DecodedPng, PngDecodeError> DecodePng(std::span<const std::uint8_t> png, std::uint64_t largestImage);

// Whether `bytes` begin as a PNG image does.
bool LooksLikePng(std::span<const std::uint8_t> bytes);

}  // namespace quarvel
