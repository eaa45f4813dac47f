// An in-memory file that the fuzz targets decode through, by the same path-based code
// that the commands use, without touching the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "files/extraction.h"

namespace quarvel::fuzz {

class ScratchFile {
 public:
  ScratchFile() : descriptor_(memfd_create("quarvel-fuzz", 0)) {
    if (descriptor_ < 0) std::abort();
  }
  ~ScratchFile() { close(descriptor_); }

  // Makes the file hold exactly `bytes`.
  void Hold(std::span<const std::uint8_t> bytes) {
    if (ftruncate(descriptor_, 0) != 0) std::abort();
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t wrote = pwrite(descriptor_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (wrote <= 0) std::abort();
      done += static_cast<std::size_t>(wrote);
    }
  }
  std::filesystem::path Path() const { return "/proc/self/fd/" + std::to_string(descriptor_); }

 private:
  int descriptor_;
};

// The same answer: equal values, or errors of one kind at one position.
template <class Result, class Equal>
void RequireSame(const Result& a, const Result& b, std::uint64_t positionShift, Equal equalValues) {
  if (a.has_value() != b.has_value()) std::abort();
  if (a.has_value()) {
    if (!equalValues(*a, *b)) std::abort();
  } else if (a.error().kind != b.error().kind || a.error().position != b.error().position + positionShift) {
    std::abort();
  }
}

// Decodes `rom` in `format` at offsets 0, 1 and 3 with `decode` (bytes and an offset
// in), through a file by path as the commands do, and from the bytes at the offset on:
// the three must agree (an error shifted by the offset). Then hands each decode, with its
// offset, to `check`.
template <class Decode, class Equal, class Check>
void DecodeAtOffsets(Format format, std::span<const std::uint8_t> rom, Decode decode, Equal same, Check check) {
  static ScratchFile file;
  file.Hold(rom);
  for (const std::size_t offset : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
    if (offset > rom.size()) break;
    const auto block = decode(rom, static_cast<std::int64_t>(offset));
    RequireSame(block, ReadBlock(format, file.Path(), static_cast<std::int64_t>(offset)), 0, same);
    if (offset < rom.size()) RequireSame(block, decode(rom.subspan(offset), 0), offset, same);
    check(offset, block);
  }
}

}  // namespace quarvel::fuzz
