#include "decoders/byte_source.h"

namespace quarvel {

DecodeResult<std::uint64_t> CheckOffset(std::int64_t offset, std::uint64_t size) {
  if (offset < 0) return Fail(NegativeOffsetError(offset));
  if (static_cast<std::uint64_t>(offset) >= size) return Fail(OffsetBeyondEndError(offset, size));
  return static_cast<std::uint64_t>(offset);
}

DecodeResult<SpanSource> SpanSource::Open(std::span<const std::uint8_t> data, std::int64_t offset) {
  const auto start = CheckOffset(offset, data.size());
  if (!start) return Fail(start.error());
  return SpanSource(data, static_cast<std::size_t>(*start));
}

SpanSource::SpanSource(std::span<const std::uint8_t> data, std::size_t start) : ByteSource(start, data.size()) {
  SetWindow(data.subspan(start), start);
}

DecodeError EndOfData(const ByteSource& source, std::string_view what) {
  return TruncatedError(source.BlockStart(), source.End(), source.ReadFailed(), what);
}

}  // namespace quarvel
