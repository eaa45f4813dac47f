// MD5 (RFC 1321): what identifies a ROM image, as the games' catalogues list it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quarvel {

// The MD5 digest of `bytes` in lower-case hexadecimal, as md5sum prints it.
std::string Md5Text(std::span<const std::uint8_t> bytes);

}  // namespace quarvel
