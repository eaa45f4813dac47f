#include "decoders/block_source.h"

#include <cerrno>
#include <utility>

namespace quarvel {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

DecodeResult<std::uint64_t> CheckOffset(std::int64_t offset, std::uint64_t size) {
  if (offset < 0) return Fail(NegativeOffsetError(offset));
  if (static_cast<std::uint64_t>(offset) >= size) return Fail(OffsetBeyondEndError(offset, size));
  return static_cast<std::uint64_t>(offset);
}

}  // namespace

DecodeResult<SpanSource> SpanSource::Open(std::span<const std::uint8_t> data, std::int64_t offset) {
  const auto start = CheckOffset(offset, data.size());
  if (!start) return Fail(start.error());
  return SpanSource(data, static_cast<std::size_t>(*start));
}

DecodeResult<FileSource> FileSource::Open(const std::filesystem::path& path, std::int64_t offset) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return Fail(FileError(DecodeErrorKind::CannotOpenSource, "read", path, error));
  const auto start = CheckOffset(offset, size);
  if (!start) return Fail(start.error());

  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    const std::error_code reason(errno != 0 ? errno : EIO, std::generic_category());
    return Fail(FileError(DecodeErrorKind::CannotOpenSource, "open", path, reason));
  }
  file.seekg(static_cast<std::streamoff>(*start));
  if (!file) {
    return Fail(FileError(DecodeErrorKind::CannotOpenSource, "read", path, std::make_error_code(std::errc::io_error)));
  }
  return FileSource(std::move(file), *start, size);
}

FileSource::FileSource(std::ifstream file, std::uint64_t start, std::uint64_t size)
    : file_(std::move(file)), buffer_(kChunkSize), bufferStart_(start), blockStart_(start), size_(size) {}

bool FileSource::Refill() {
  if (readFailed_ || !file_) return false;
  bufferStart_ += end_;
  file_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(buffer_.size()));
  next_ = 0;
  end_ = static_cast<std::size_t>(file_.gcount());
  readFailed_ = file_.bad();
  return end_ > 0 && !readFailed_;
}

}  // namespace quarvel
