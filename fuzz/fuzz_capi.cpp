// Any bytes through every function of the C library (include/quarvel/quarvel.h), in
// every format, at any offset, in each compress mode, with error buffers of any size:
// each call returns 0 or -1 and a reason, and what it hands back is freed. A block it
// compresses decodes back to the data, and is one the accurate check reads.
//
// Input: a byte choosing the format (bits 0-2: one of the five, or a name taken from the
// input), its long or short name (bit 3), the compress mode (bits 4-5) and the error
// buffer's size (bits 6-7); the offset, two bytes little-endian; then the data.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quarvel/quarvel.h"

namespace {

constexpr const char* kNames[][2] = {
    {"kosinski", "kos"}, {"nemesis", "nem"}, {"enigma", "eni"}, {"kosinski-moduled", "kosm"}, {"saxman", "sax"}};
constexpr const char* kModes[] = {"smallest", "s1", "s3k", "S2"};
constexpr std::size_t kErrorSizes[] = {0, 1, 12, 256};

// A call's outcome: 0 or -1, and with -1 a reason that fits the error buffer (none fits in one byte).
void Check(int status, const char* error, std::size_t errorSize) {
  if (status != 0 && status != -1) std::abort();
  if (status == -1 && errorSize > 0 && (std::strlen(error) >= errorSize || (errorSize > 1 && error[0] == '\0')))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, std::size_t size) {
  if (size < 3) return 0;
  const unsigned choice = bytes[0];
  const std::size_t offset = bytes[1] | static_cast<std::size_t>(bytes[2]) << 8;
  const unsigned char* data = bytes + 3;
  const std::size_t dataSize = size - 3;
  const std::string taken(reinterpret_cast<const char*>(data), std::min<std::size_t>(dataSize, 20));
  const char* format = choice % 8 < 5 ? kNames[choice % 8][choice >> 3 & 1] : taken.c_str();
  const char* mode = kModes[choice >> 4 & 3];
  const std::size_t errorSize = kErrorSizes[choice >> 6];
  char buffer[256];
  char* error = errorSize == 0 ? nullptr : buffer;

  unsigned char* out = nullptr;
  std::size_t outSize = 0;
  Check(quarvel_decode(format, data, dataSize, offset, &out, &outSize, error, errorSize), error, errorSize);
  quarvel_free(out);

  char* json = nullptr;
  Check(quarvel_check_accurate(format, data, dataSize, &json, error, errorSize), error, errorSize);
  quarvel_free(json);

  // Compressing is slower than decoding: small inputs only, so that a run tries many.
  const std::size_t small = std::min<std::size_t>(dataSize, 4096);
  const int compressed = quarvel_compress(format, mode, data, small, &out, &outSize, error, errorSize);
  Check(compressed, error, errorSize);
  if (compressed == 0) {
    unsigned char* back = nullptr;
    std::size_t backSize = 0;
    if (quarvel_decode(format, out, outSize, 0, &back, &backSize, nullptr, 0) != 0 || backSize != small ||
        std::memcmp(back, data, small) != 0)
      std::abort();
    quarvel_free(back);
    if (quarvel_check_accurate(format, out, outSize, &json, nullptr, 0) != 0) std::abort();
    quarvel_free(json);
  }
  quarvel_free(out);

  if (dataSize <= 2048) {
    Check(quarvel_scan(data, dataSize, &json, error, errorSize), error, errorSize);
    quarvel_free(json);
  }
  Check(quarvel_identify(data, dataSize, &json, error, errorSize), error, errorSize);
  quarvel_free(json);
  return 0;
}
