// The bytes of a compressed block, read forward from its first byte. The decoders read
// them from a window of bytes in memory; a source with more than its window holds (a
// file, read in chunks) refills it as the decoder reaches its end.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "decoders/decode_error.h"

namespace quarvel {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // The next byte, or false at the end of the data or when it could not be read.
  bool Next(std::uint8_t& byte) {
    if (next_ == end_ && !Refill()) return false;
    byte = *next_++;
    return true;
  }
  // The position of the next byte in the whole data, counted from 0.
  std::uint64_t Position() const { return windowStart_ + static_cast<std::uint64_t>(next_ - window_); }
  std::uint64_t BlockStart() const { return blockStart_; }
  // The size of the whole data: where every block must end.
  std::uint64_t End() const { return size_; }
  bool ReadFailed() const { return readFailed_; }

  // The bytes after Position() that are in memory now, without a refill; every one up
  // to End() for a source in memory. A decoder that reads them itself Skip()s them after.
  std::span<const std::uint8_t> Buffered() const { return {next_, end_}; }
  void Skip(std::size_t count) { next_ += count; }  // at most Buffered().size()

 protected:
  ByteSource(std::uint64_t blockStart, std::uint64_t size) : blockStart_(blockStart), size_(size) {}

  // Makes `bytes`, which stand at `position` of the data, the next ones to be read.
  void SetWindow(std::span<const std::uint8_t> bytes, std::uint64_t position) {
    window_ = next_ = bytes.data();
    end_ = bytes.data() + bytes.size();
    windowStart_ = position;
  }
  void SetReadFailed() { readFailed_ = true; }

  const std::uint8_t* window_ = nullptr;
  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;

 private:
  // Puts the next bytes in the window; false when there are none, or they could not be read.
  virtual bool Refill() { return false; }

  std::uint64_t windowStart_ = 0;
  std::uint64_t blockStart_;
  std::uint64_t size_;
  bool readFailed_ = false;
};

// The bytes of a span in memory, from an offset on.
class SpanSource final : public ByteSource {
 public:
  // Fails when `offset` is negative or not inside `data`.
  static DecodeResult<SpanSource> Open(std::span<const std::uint8_t> data, std::int64_t offset);

  // As ByteSource::Next, for a decoder that knows it reads memory: nothing to refill.
  bool Next(std::uint8_t& byte) {
    if (next_ == end_) return false;
    byte = *next_++;
    return true;
  }

 private:
  SpanSource(std::span<const std::uint8_t> data, std::size_t start);
};

// The failure for a source that ran out of bytes inside its block; `what` says how,
// as in "ends without its end marker".
DecodeError EndOfData(const ByteSource& source, std::string_view what);

// Fails when `offset` is negative or not before `size`; else the offset.
DecodeResult<std::uint64_t> CheckOffset(std::int64_t offset, std::uint64_t size);

}  // namespace quarvel
