// File operations with the guarantees the tool promises: the ROM image is only ever
// read, and a file is either replaced whole or left exactly as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace quarvel {

// Makes `destination` hold exactly `bytes`. The bytes go to a new file in the same
// folder, which is then renamed over the destination (keeping the old file's
// permissions, and following a symbolic link to the file it names). On any failure
// the destination is as it was and the new file is gone; the error says why.
std::error_code ReplaceFileContents(const std::filesystem::path& destination,
                                    std::span<const std::uint8_t> bytes);

// Path <-> UTF-8 text, exact for every character on every platform.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);

// True when both paths name one existing file, through whatever names or links.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace quarvel
