#include "encoders/saxman_compressor.h"

namespace quarvel {

Expected<std::vector<std::uint8_t>, std::string> CompressSaxman(std::span<const std::uint8_t>) {
  return Fail(std::string("Saxman compression is not built yet"));
}

Expected<std::vector<std::uint8_t>, std::string> CompressSaxmanAccurate(std::span<const std::uint8_t>) {
  return Fail(std::string("Saxman compression is not built yet"));
}

}  // namespace quarvel
