// The bytes of a compressed block, read forward from its first byte: from memory, or
// from a file in chunks, never more of the file than the decoder asks for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <vector>

#include "decoders/decode_error.h"

namespace quarvel {

class SpanSource {
 public:
  // Fails when `offset` is negative or not inside `data`.
  static DecodeResult<SpanSource> Open(std::span<const std::uint8_t> data, std::int64_t offset);

  // The next byte, or false at the end of the data.
  bool Next(std::uint8_t& byte) {
    if (next_ == data_.size()) return false;
    byte = data_[next_++];
    return true;
  }
  std::uint64_t Position() const { return next_; }
  std::uint64_t BlockStart() const { return start_; }
  std::uint64_t End() const { return data_.size(); }
  bool ReadFailed() const { return false; }

 private:
  SpanSource(std::span<const std::uint8_t> data, std::size_t start) : data_(data), next_(start), start_(start) {}

  std::span<const std::uint8_t> data_;
  std::size_t next_;
  std::size_t start_;
};

class FileSource {
 public:
  // Opens `path` for reading only. Fails when it cannot be opened, or when `offset`
  // is negative or not inside the file.
  static DecodeResult<FileSource> Open(const std::filesystem::path& path, std::int64_t offset);

  // The next byte, or false at the end of the file or on a read error.
  bool Next(std::uint8_t& byte) {
    if (next_ == end_ && !Refill()) return false;
    byte = buffer_[next_++];
    return true;
  }
  std::uint64_t Position() const { return bufferStart_ + next_; }
  std::uint64_t BlockStart() const { return blockStart_; }
  std::uint64_t End() const { return size_; }
  bool ReadFailed() const { return readFailed_; }

 private:
  FileSource(std::ifstream file, std::uint64_t start, std::uint64_t size);
  bool Refill();

  std::ifstream file_;
  std::vector<std::uint8_t> buffer_;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
  std::uint64_t bufferStart_;
  std::uint64_t blockStart_;
  std::uint64_t size_;
  bool readFailed_ = false;
};

// The failure for a source that ran out of bytes inside its block; `what` says how,
// as in "ends without its end marker".
template <class Source>
DecodeError EndOfData(const Source& source, std::string_view what) {
  return TruncatedError(source.BlockStart(), source.End(), source.ReadFailed(), what);
}

}  // namespace quarvel
