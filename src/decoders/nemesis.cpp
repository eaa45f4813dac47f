#include "decoders/nemesis.h"

namespace quarvel {

DecodeResult<Extraction> NemesisDecompress(const std::filesystem::path&, const std::filesystem::path&,
                                           std::int32_t offset) {
  return Fail(DecodeError{DecodeErrorKind::Unsupported, static_cast<std::uint64_t>(offset < 0 ? 0 : offset),
                          "Nemesis decoding is not available in this version"});
}

}  // namespace quarvel
