// A ROM image file, read in chunks only as far as a block goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "decoders/byte_source.h"
#include "files/files.h"
#include "rom/rom_layout.h"

namespace quarvel {

// A file open for reading: its size, and reads from a position on. The system's files
// are one kind; tests put in others (one that fails part-way, say).
class RomFile {
 public:
  virtual ~RomFile() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to `into.size()` bytes at `position`: how many (0 at the end), or why not.
  virtual Expected<std::size_t, std::error_code> ReadAt(std::uint64_t position, std::span<std::uint8_t> into) = 0;
  // How the file holds the image that is read (see rom/rom_layout.h).
  virtual RomLayout Layout() const { return RomLayout::Plain; }
};

// The ROM image at `path`, open for reading only: a regular file, read as far as a block
// goes; anything else readable (a FIFO, a process substitution), read whole. Either is
// refused when it is larger than a ROM image is read (64 MiB), and a folder always. An
// interleaved dump is read whole and de-interleaved.
FileResult<std::unique_ptr<RomFile>> OpenRomFile(const std::filesystem::path& path);

// The bytes of a block in a RomFile, from an offset on, read a chunk at a time.
class FileSource final : public ByteSource {
 public:
  // Fails when `offset` is negative or not inside the file.
  static DecodeResult<FileSource> Open(RomFile& file, std::int64_t offset);

 private:
  FileSource(RomFile& file, std::uint64_t start);
  bool Refill() override;

  RomFile* file_;
  std::vector<std::uint8_t> buffer_;  // on the heap, so that a move keeps the window valid
  std::uint64_t nextRead_;
};

}  // namespace quarvel
