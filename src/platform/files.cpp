#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>

namespace quarvel {
namespace fs = std::filesystem;
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Creates `path` for writing; fails if anything is already there.
FileHandle CreateNew(const fs::path& path) {
#ifdef _WIN32
  return FileHandle(_wfopen(path.c_str(), L"wbx"));
#else
  return FileHandle(std::fopen(path.c_str(), "wbx"));
#endif
}

std::error_code LastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

// A file that is removed when it goes out of scope unless it was kept.
class TemporaryFile {
 public:
  explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!kept_) {
      std::error_code ignored;
      fs::remove(path_, ignored);
    }
  }
  const fs::path& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  fs::path path_;
  bool kept_ = false;
};

std::error_code WriteAndClose(FileHandle file, std::span<const std::uint8_t> bytes) {
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    return LastError();
  if (std::fflush(file.get()) != 0) return LastError();
  if (std::fclose(file.release()) != 0) return LastError();
  return {};
}

}  // namespace

std::error_code ReplaceFileContents(const fs::path& destination, std::span<const std::uint8_t> bytes) {
  std::error_code error;
  fs::path target = destination;
  if (fs::is_symlink(fs::symlink_status(destination, error))) {
    target = fs::weakly_canonical(destination, error);
    if (error) return error;
  }

  const auto existing = fs::status(target, error);
  if (error && error != std::errc::no_such_file_or_directory) return error;
  error.clear();

  std::random_device entropy;
  FileHandle file;
  fs::path temporaryPath;
  for (int attempt = 0; attempt < 8 && !file; ++attempt) {
    fs::path name = ".";
    name += target.filename();
    name += ".tmp-" + std::to_string(entropy());
    temporaryPath = target.parent_path() / name;
    errno = 0;
    file = CreateNew(temporaryPath);
    if (!file && errno != EEXIST) return LastError();
  }
  if (!file) return std::make_error_code(std::errc::file_exists);
  TemporaryFile temporary(temporaryPath);

  if (auto failed = WriteAndClose(std::move(file), bytes)) return failed;
  if (fs::exists(existing)) {
    fs::permissions(temporary.path(), existing.permissions(), error);
    if (error) return error;
  }
  fs::rename(temporary.path(), target, error);
  if (error) return error;
  temporary.Keep();
  return {};
}

std::string PathToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path PathFromUtf8(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }

bool IsSameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace quarvel
