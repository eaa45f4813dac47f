#include "files/rom_file.h"

#include <algorithm>

#include "files/native_file.h"

namespace quarvel {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

class SystemRomFile final : public RomFile {
 public:
  explicit SystemRomFile(native::File file) : file_(std::move(file)), size_(file_.Size()) {}

  std::uint64_t Size() const override { return size_; }
  Expected<std::size_t, std::error_code> ReadAt(std::uint64_t position, std::span<std::uint8_t> into) override {
    return file_.ReadAt(position, into);
  }

 private:
  native::File file_;
  std::uint64_t size_;
};

class MemoryRomFile final : public RomFile {
 public:
  explicit MemoryRomFile(PlainImage image) : bytes_(std::move(image.bytes)), layout_(image.layout) {}

  RomLayout Layout() const override { return layout_; }

  std::uint64_t Size() const override { return bytes_.size(); }
  Expected<std::size_t, std::error_code> ReadAt(std::uint64_t position, std::span<std::uint8_t> into) override {
    if (position >= bytes_.size()) return std::size_t{0};
    const std::size_t count = std::min<std::size_t>(into.size(), bytes_.size() - static_cast<std::size_t>(position));
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position), count, into.begin());
    return count;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  RomLayout layout_;
};

}  // namespace

FileResult<std::unique_ptr<RomFile>> OpenRomFile(const std::filesystem::path& path) {
  const auto failure = [&path](const std::string& reason, std::error_code code) {
    return Fail(FileFailure{"cannot read '" + PathToUtf8(path) + "': " + reason, code});
  };
  const native::Entry entry = native::Look(path, true);
  if (entry.kind == native::Entry::Kind::Directory) return failure("it is a folder", std::make_error_code(std::errc::is_a_directory));
  if (entry.kind == native::Entry::Kind::Other) {
    auto bytes = ReadWholeFile(path, kRomImageLimit);
    if (!bytes) return Fail(bytes.error());
    return std::unique_ptr<RomFile>(new MemoryRomFile(ToPlainImage(std::move(*bytes))));
  }
  auto file = native::File::OpenRead(path);
  if (!file) return failure(file.error().message(), file.error());
  if (file->Size() > kRomImageLimit) {
    std::string message = std::string(1, '\'').append(PathToUtf8(path)).append("' is larger than ");
    return Fail(FileFailure{message + SizeText(kRomImageLimit), std::make_error_code(std::errc::file_too_large)});
  }
  const std::uint64_t size = file->Size();
  if (size >= kInterleavedHeader + kInterleavedBlock && (size - kInterleavedHeader) % kInterleavedBlock == 0) {
    auto bytes = ReadRegularFile(path, kRomImageLimit);  // perhaps an interleaved dump: read whole to tell
    if (!bytes) return Fail(bytes.error());
    return std::unique_ptr<RomFile>(new MemoryRomFile(ToPlainImage(std::move(*bytes))));
  }
  return std::unique_ptr<RomFile>(new SystemRomFile(std::move(*file)));
}

DecodeResult<FileSource> FileSource::Open(RomFile& file, std::int64_t offset) {
  const auto start = CheckOffset(offset, file.Size());
  if (!start) return Fail(start.error());
  return FileSource(file, *start);
}

FileSource::FileSource(RomFile& file, std::uint64_t start)
    : ByteSource(start, file.Size()), file_(&file), buffer_(kChunkSize), nextRead_(start) {
  SetWindow({}, start);
}

bool FileSource::Refill() {
  if (ReadFailed() || nextRead_ >= End()) return false;
  const auto got = file_->ReadAt(nextRead_, buffer_);
  if (!got) SetReadFailed();
  if (!got || *got == 0) return false;  // a file that shrank under us ends early
  SetWindow(std::span(buffer_).first(*got), nextRead_);
  nextRead_ += *got;
  return true;
}

}  // namespace quarvel
