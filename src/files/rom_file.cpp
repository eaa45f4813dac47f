#include "files/rom_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quarvel {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

class SystemRomFile final : public RomFile {
 public:
  SystemRomFile(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
  ~SystemRomFile() override { close(descriptor_); }
  SystemRomFile(const SystemRomFile&) = delete;
  SystemRomFile& operator=(const SystemRomFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  Expected<std::size_t, std::error_code> ReadAt(std::uint64_t position, std::span<std::uint8_t> into) override {
    for (;;) {
      const ssize_t got = pread(descriptor_, into.data(), into.size(), static_cast<off_t>(position));
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) return Fail(std::error_code(errno, std::generic_category()));
    }
  }

 private:
  int descriptor_;
  std::uint64_t size_;
};

}  // namespace

FileResult<std::unique_ptr<RomFile>> OpenRomFile(const std::filesystem::path& path) {
  const auto failure = [&path](const char* reason, int code) {
    return Fail(FileFailure{"cannot read '" + PathToUtf8(path) + "': " + reason, {code, std::generic_category()}});
  };
  errno = 0;
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    const int code = errno;
    return failure(std::generic_category().message(code).c_str(), code);
  }
  struct stat info{};
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(descriptor);
    return failure(S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file", EINVAL);
  }
  return std::unique_ptr<RomFile>(new SystemRomFile(descriptor, static_cast<std::uint64_t>(info.st_size)));
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
