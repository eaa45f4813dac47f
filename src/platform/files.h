// File operations with the guarantees the tool promises: the ROM image is only ever
// read, and a file is either replaced whole or left exactly as it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// Replaces a file in two steps: Begin creates a new file beside it (so that a folder
// that cannot be written is reported before anything else happens), Commit writes the
// bytes there and renames the new file over the old one, keeping the old file's
// permissions and following a symbolic link to the file it names. On any failure, and
// when Commit is never called, the old file is as it was and the new one is gone.
class FileReplacement {
 public:
  static Expected<std::unique_ptr<FileReplacement>, std::error_code> Begin(const std::filesystem::path& destination);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  std::error_code Commit(std::span<const std::uint8_t> bytes);

 private:
  FileReplacement(std::filesystem::path target, std::filesystem::path temporary, std::FILE* file);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_;
  bool committed_ = false;
};

// Makes `destination` hold exactly `bytes` (Begin and Commit of a FileReplacement). The bytes go to a new file in the same
// folder, which is then renamed over the destination (keeping the old file's
// permissions, and following a symbolic link to the file it names). On any failure
// the destination is as it was and the new file is gone; the error says why.
std::error_code ReplaceFileContents(const std::filesystem::path& destination,
                                    std::span<const std::uint8_t> bytes);

struct FileContents {
  std::vector<std::uint8_t> bytes;  // what was read, all of the file when `error` is empty
  std::error_code error;            // why the reading stopped early
};

// Reads the whole of a file.
FileContents ReadWholeFile(const std::filesystem::path& path);

// Path <-> UTF-8 text, exact for every character on every platform.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);

// True when both paths name one existing file, through whatever names or links.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace quarvel
