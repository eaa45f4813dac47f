#include "files/extraction.h"
#include "formats/format_table.h"

namespace quarvel {

DecodeResult<DecodedBlock> ReadBlock(const SourceDecoder& decode, RomFile& rom, std::int64_t offset) {
  auto in = FileSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return decode(*in);
}

DecodeResult<DecodedBlock> ReadBlock(Format format, RomFile& rom, std::int64_t offset) {
  return ReadBlock(CodecOf(format).decode, rom, offset);
}

DecodeResult<DecodedBlock> ReadBlock(Format format, const std::filesystem::path& rom, std::int64_t offset) {
  auto file = OpenRomFile(rom);
  if (!file) return Fail(DecodeError{DecodeErrorKind::CannotOpenSource, 0, file.error().message, file.error().code});
  return ReadBlock(format, **file, offset);
}

DecodeResult<Extraction> ExtractBlock(const std::filesystem::path& source, const std::filesystem::path& destination,
                                      std::int32_t offset, const BlockReader& read, const ReplaceOptions& options) {
  ProtectedFiles protect = options.protect != nullptr ? *options.protect : ProtectedFiles{};
  protect.Add(source, "the ROM image itself");
  if (auto refusal = protect.Refusal(destination))
    return Fail(DecodeError{DecodeErrorKind::SourceIsDestination, 0, std::move(*refusal)});
  ReplaceOptions checked = options;
  checked.protect = &protect;

  auto block = read(source, offset);
  if (!block) return Fail(block.error());
  if (const auto written = ReplaceFileContents(destination, block->bytes, checked); !written) {
    return Fail(DecodeError{DecodeErrorKind::CannotWriteDestination, 0, written.error().message, written.error().code});
  }
  return Extraction{block->bytes.size(), block->compressedSize, std::move(block->warnings)};
}

DecodeResult<Extraction> Decompress(Format format, const std::filesystem::path& source,
                                    const std::filesystem::path& destination, std::int32_t offset,
                                    const ReplaceOptions& options) {
  const auto read = [format](const std::filesystem::path& rom, std::int64_t at) { return ReadBlock(format, rom, at); };
  return ExtractBlock(source, destination, offset, read, options);
}

DecodeResult<Extraction> KosinskiDecompress(const std::filesystem::path& source,
                                            const std::filesystem::path& destination, std::int32_t offset) {
  return Decompress(Format::Kosinski, source, destination, offset);
}

DecodeResult<Extraction> NemesisDecompress(const std::filesystem::path& source,
                                           const std::filesystem::path& destination, std::int32_t offset) {
  return Decompress(Format::Nemesis, source, destination, offset);
}

}  // namespace quarvel
