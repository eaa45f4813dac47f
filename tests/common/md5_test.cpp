#include "common/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel {
namespace {

// RFC 1321's test suite, then the lengths at which the padding takes another block.
TEST(Md5, GivesTheDigestsOfRfc1321AndOfEveryPaddingCase) {
  const struct {
    std::string text;
    const char* md5;
  } rows[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Md5Text({reinterpret_cast<const std::uint8_t*>(row.text.data()), row.text.size()}), row.md5)
        << row.text.size() << " bytes";
  }
}

}  // namespace
}  // namespace quarvel
