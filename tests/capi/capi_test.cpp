#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "quarvel/quarvel.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A Kosinski block of 256 bytes counting up, as the library compresses it.
Bytes KosinskiBlock() {
  Bytes data(256);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i);
  unsigned char* out = nullptr;
  std::size_t size = 0;
  EXPECT_EQ(quarvel_compress("kos", nullptr, data.data(), data.size(), &out, &size, nullptr, 0), 0);
  Bytes block(out, out + size);
  quarvel_free(out);
  return block;
}

struct BadCall {
  const char* situation;
  const char* format;
  const char* mode;  // compressed rather than decoded when set
  std::size_t size;  // of the Kosinski block, or of the data compressed
  std::size_t offset;
  const char* reason;
};

// Each bad call fails with its reason, hands back nothing and aborts nothing.
TEST(CApi, RefusesBadCallsWithTheirReason) {
  const Bytes block = KosinskiBlock();
  const BadCall calls[] = {
      {"an unknown format", "zip", nullptr, block.size(), 0, "'zip' is not a format: kosinski, nemesis"},
      {"no format", nullptr, nullptr, block.size(), 0, "no format named"},
      {"an offset past the end", "kosinski", nullptr, block.size(), 1u << 30, "beyond the end"},
      {"a truncated block", "KOS", nullptr, block.size() / 2, 0, "where the data ends"},
      {"an unknown mode", "kos", "s4", 16, 0, "'s4' is not a mode"},
      {"more data than a block holds", "kosm", "s1", 65536, 0, "holds at most 65,535 bytes"},
      {"part of a tile", "nem", "smallest", 31, 0, "whole number of 32-byte tiles"},
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.situation);
    const Bytes data(call.mode ? Bytes(call.size) : Bytes(block.begin(), block.begin() + call.size));
    unsigned char* out = reinterpret_cast<unsigned char*>(1);
    std::size_t size = 1;
    char error[200];
    const int status =
        call.mode ? quarvel_compress(call.format, call.mode, data.data(), data.size(), &out, &size, error, sizeof error)
                  : quarvel_decode(call.format, data.data(), data.size(), call.offset, &out, &size, error, sizeof error);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_NE(std::string(error).find(call.reason), std::string::npos) << error;
  }
}

// A reason longer than the buffer is cut to fit, still ended by a NUL.
TEST(CApi, CutsTheReasonToTheBuffer) {
  char* json = nullptr;
  char error[6] = "xxxxx";
  EXPECT_EQ(quarvel_identify(reinterpret_cast<const unsigned char*>("tiny"), 4, &json, error, sizeof error), -1);
  EXPECT_STREQ(error, "the i");
  EXPECT_EQ(quarvel_identify(nullptr, 4, &json, nullptr, 0), -1);
}

}  // namespace
