#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <utility>

namespace quarvel {
namespace fs = std::filesystem;
namespace {

std::FILE* Open(const fs::path& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(path.c_str(), std::wstring(mode, mode + std::strlen(mode)).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

// Creates `path` for writing; fails if anything is already there.
std::FILE* CreateNew(const fs::path& path) { return Open(path, "wbx"); }

std::error_code LastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

}  // namespace

Expected<std::unique_ptr<FileReplacement>, std::error_code> FileReplacement::Begin(const fs::path& destination) {
  std::error_code error;
  fs::path target = destination;
  if (fs::is_symlink(fs::symlink_status(destination, error))) {
    target = fs::weakly_canonical(destination, error);
    if (error) return Fail(error);
  }
  if (fs::is_directory(target, error)) return Fail(std::make_error_code(std::errc::is_a_directory));

  std::random_device entropy;
  for (int attempt = 0; attempt < 8; ++attempt) {
    fs::path name = ".";
    name += target.filename();
    name += ".tmp-" + std::to_string(entropy());
    fs::path temporary = target.parent_path() / name;
    errno = 0;
    if (std::FILE* file = CreateNew(temporary))
      return std::unique_ptr<FileReplacement>(new FileReplacement(std::move(target), std::move(temporary), file));
    if (errno != EEXIST) return Fail(LastError());
  }
  return Fail(std::make_error_code(std::errc::file_exists));
}

FileReplacement::FileReplacement(fs::path target, fs::path temporary, std::FILE* file)
    : target_(std::move(target)), temporary_(std::move(temporary)), file_(file) {}

FileReplacement::~FileReplacement() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
}

std::error_code FileReplacement::Commit(std::span<const std::uint8_t> bytes) {
  errno = 0;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  const bool flushed = written && std::fflush(file_) == 0;
  const std::error_code writeError = written && flushed ? std::error_code{} : LastError();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (writeError) return writeError;
  if (!closed) return LastError();

  std::error_code error;
  const auto existing = fs::status(target_, error);
  if (fs::exists(existing)) {
    fs::permissions(temporary_, existing.permissions(), error);
    if (error) return error;
  }
  fs::rename(temporary_, target_, error);
  if (error) return error;
  committed_ = true;
  return {};
}

std::error_code ReplaceFileContents(const fs::path& destination, std::span<const std::uint8_t> bytes) {
  auto replacement = FileReplacement::Begin(destination);
  if (!replacement) return replacement.error();
  return (*replacement)->Commit(bytes);
}

FileContents ReadWholeFile(const fs::path& path) {
  FileContents contents;
  errno = 0;
  std::FILE* file = Open(path, "rb");
  if (file == nullptr) {
    contents.error = LastError();
    return contents;
  }
  std::uint8_t chunk[64 * 1024];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) contents.bytes.insert(contents.bytes.end(), chunk, chunk + got);
  if (std::ferror(file)) contents.error = LastError();
  std::fclose(file);
  return contents;
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
