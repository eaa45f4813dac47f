#include "app/cli_io.h"

#include <cstdio>

#include "files/extraction.h"

namespace quarvel::cli {

// The offset in the radix of --radix; "0x" in front makes it hexadecimal, as the tool
// prints offsets.
Expected<std::int32_t, int> ParseOffset(const OffsetArg& offset, const Streams& streams) {
  std::string_view text = offset.text;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  // 0x1A2B as scan prints it, $1A2B as the disassemblies' listings write it.
  const std::size_t prefix = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2
                             : text.size() > 1 && text[0] == '$'                                     ? 1
                                                                                                     : 0;
  const Radix radix = prefix != 0 ? Radix::Hex : offset.radix;
  const auto value = ParseOffsetText(prefix != 0 ? text.substr(prefix) : offset.text, radix);
  if (!value) return Fail(streams.Error(DescribeOffsetTextError(value.error(), offset.text, radix), kUsage));
  return *value;
}

// The decoded block, after its warnings; or the exit status after the error when it
// could not be decoded.
Expected<DecodedBlock, int> Decoded(DecodeResult<DecodedBlock> block, const Streams& streams) {
  if (!block) return Fail(streams.Error(block.error().message, kFailure));
  for (const auto& warning : block->warnings) streams.Warning(warning);
  return std::move(*block);
}

// UTF-8 text as a terminal may show it: each control character (C0, DEL, C1), which a
// terminal would obey, written as \xHH or \u00HH.
std::string ControlsEscaped(std::string_view text) {
  std::string shown;
  char escape[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
      std::snprintf(escape, sizeof escape, "\\u00%02X", next);
      shown += escape;
      ++i;
    } else {
      shown += static_cast<char>(byte);
    }
  }
  return shown;
}

// The catalogues: no command writes its output over one of them.
ProtectedFiles CataloguesProtected(const CatalogueLocation& folder) {
  ProtectedFiles files;
  ProtectCatalogues(files, folder);
  return files;
}

// The message of a failure to read an input, with why a larger one is refused when it was too large.
std::string WithLimitReason(const FileFailure& failure, std::string_view limitReason) {
  std::string message = failure.message;
  if (failure.code == std::errc::file_too_large) message.append("; ").append(limitReason);
  return message;
}

// Reads the input `name` ("-": standard input) of at most `limit` bytes, and protects
// it as `what` from what the command writes. `limitReason` tells why a larger input is
// refused.
Expected<std::vector<std::uint8_t>, int> ReadInput(const std::string& name, std::uint64_t limit,
                                                   std::string_view limitReason, ProtectedFiles& protect,
                                                   std::string what, const Streams& streams) {
  const bool standardInput = name == "-";
  if (standardInput)
    protect.Add(IdentityOfStandardInput(), "the file read from standard input");
  else
    protect.Add(PathFromUtf8(name), std::move(what));
  auto bytes = standardInput ? ReadStandardInput(limit) : ReadWholeFile(PathFromUtf8(name), limit);
  if (!bytes) return Fail(streams.Error(WithLimitReason(bytes.error(), limitReason), kFailure));
  return std::move(*bytes);
}

// Says, once, how a ROM image file that is not plain is read.
void SayLayout(const std::string& name, RomLayout layout, const Streams& streams) {
  const std::string what = "'" + name + "' is " + std::string(LayoutNote(layout));
  if (layout == RomLayout::Interleaved) streams.Report(streams.err) << "quarvel-cli: " << what << '\n';
  if (layout == RomLayout::LooksInterleaved) streams.Warning("'" + name + "' " + std::string(LayoutNote(layout)));
}

// A whole ROM image, "-" for standard input, of at most kRomImageLimit bytes: the plain
// image of an interleaved dump, said so (and how the file held it, in `layout`).
Expected<std::vector<std::uint8_t>, int> ReadRom(const std::string& name, ProtectedFiles& protect,
                                                 const Streams& streams, RomLayout* layout) {
  auto bytes = ReadInput(name, kRomImageLimit, kRomLimitReason, protect, "the ROM image itself", streams);
  if (!bytes) return bytes;
  auto image = ToPlainImage(std::move(*bytes));
  SayLayout(name, image.layout, streams);
  if (layout) *layout = image.layout;
  return std::move(image.bytes);
}

// What a command that writes a new ROM image says of one read from an interleaved dump.
void SayPlainWritten(RomLayout layout, std::ostream& report) {
  if (layout == RomLayout::Interleaved) report << "wrote a plain image (not interleaved).\n";
}

Expected<RomInput, int> RomInput::Open(const std::string& name, ProtectedFiles& protect, const Streams& streams) {
  RomInput rom;
  if (name == "-") {
    auto bytes = ReadRom(name, protect, streams);
    if (!bytes) return Fail(bytes.error());
    rom.bytes_ = std::move(*bytes);
    return rom;
  }
  protect.Add(PathFromUtf8(name), "the ROM image itself");
  auto file = OpenRomFile(PathFromUtf8(name));
  if (!file) return Fail(streams.Error(WithLimitReason(file.error(), kRomLimitReason), kFailure));
  SayLayout(name, (*file)->Layout(), streams);
  rom.file_ = std::move(*file);
  return rom;
}

DecodeResult<DecodedBlock> RomInput::Read(const SourceDecoder& decode, std::int64_t offset) const {
  if (file_ != nullptr) return ReadBlock(decode, *file_, offset);
  auto in = SpanSource::Open(bytes_, offset);
  if (!in) return Fail(in.error());
  return decode(*in);
}

std::optional<std::vector<std::uint8_t>> RomInput::Whole() const {
  if (file_ == nullptr) return bytes_;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file_->Size()));
  for (std::size_t at = 0; at < bytes.size();) {
    const auto got = file_->ReadAt(at, std::span(bytes).subspan(at));
    if (!got || *got == 0) return std::nullopt;
    at += *got;
  }
  return bytes;
}

// Checks, before anything is printed, that standard output is none of the files that
// `protect` holds (as a shell's ">>rom.bin" would make it).
int CheckStandardOutput(const ProtectedFiles& protect, const Streams& streams) {
  const auto refusal = protect.RefusalOfStandardOutput();
  return refusal ? streams.Error(*refusal, kFailure) : kSuccess;
}

// Checks, before any work, that `out` may be written ("-": standard output), and that
// standard output may be.
int CheckOutput(const std::string& out, const ProtectedFiles& protect, const Streams& streams) {
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess || out == "-") return checked;
  const auto writable = CheckReplaceable(PathFromUtf8(out), {&protect});
  return writable ? kSuccess : streams.Error(writable.error().message, kFailure);
}

// Writes `bytes` to standard output for "-", else replaces the file `out` whole.
int Write(std::span<const std::uint8_t> bytes, const std::string& out, const ProtectedFiles& protect,
          const Streams& streams) {
  if (out == "-") {
    streams.out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    streams.out.flush();
    return streams.out ? kSuccess : streams.Error("cannot write to standard output", kFailure);
  }
  const auto written = ReplaceFileContents(PathFromUtf8(out), bytes, {&protect});
  return written ? kSuccess : streams.Error(written.error().message, kFailure);
}

std::string KnownCatalogues() {
  std::string names;
  for (const auto& rom : kRomCatalogues) {
    if (!names.empty()) names += ", ";
    names.append("\"").append(rom.listText).append("\" (").append(rom.baseName).append(")");
  }
  return names;
}

// The catalogue that `name` names, by ROM name or file name.
Expected<std::string_view, int> CatalogueBaseName(const std::string& name, const Streams& streams) {
  const auto rom = FindRomCatalogue(name);
  if (!rom) return Fail(streams.Error("there is no catalogue '" + name + "'; the catalogues are " + KnownCatalogues(), kUsage));
  return rom->baseName;
}

// The catalogue that `name` names, read from where it is; an error when it cannot be read.
Expected<ReadCatalogueFile, int> ReadCatalogue(const CatalogueLocation& folder, const std::string& name,
                                               const Streams& streams) {
  const auto base = CatalogueBaseName(name, streams);
  if (!base) return Fail(base.error());
  if (folder.folder.empty()) return Fail(streams.Error(folder.problem, kFailure));
  ReadCatalogueFile read{*base, CatalogueToRead(folder, *base), {}};
  read.load = LoadCatalogue(read.path);
  if (read.load.status == CatalogueLoad::Status::Failed) return Fail(streams.Error(read.load.problem, kFailure));
  return read;
}

int Streams::Error(const std::string& message, int code) const {
  if (lastError != nullptr) *lastError = message;
  err << "quarvel-cli: error: " << message << '\n';
  return code;
}

void Streams::Warning(const std::string& message) const { err << "quarvel-cli: warning: " << message << '\n'; }

void Streams::JsonReport(const Json& report) const {
  if (jsonOut != nullptr) WriteJsonLine(*jsonOut, report);
}

std::ostream& Streams::Report(std::ostream& to) const {
  static std::ostream nowhere(nullptr);
  return quiet ? nowhere : to;
}

// `asked`, or (nothing asked) the format whose scan weigher rates the block at `offset`
// highest, said on standard error; refused when none takes it for a block.
Expected<Format, int> ChooseFormat(std::optional<Format> asked, const RomInput& rom, std::int32_t offset,
                                   const std::string& romArg, const Streams& streams) {
  if (asked) return *asked;
  const auto bytes = rom.Whole();
  if (!bytes) return Fail(streams.Error("cannot read '" + romArg + "'", kFailure));
  std::optional<Format> best;
  double confidence = 0;
  for (const auto& info : Formats()) {
    const auto hit = offset >= 0 ? CodecOf(info.format).scanner(*bytes)(static_cast<std::size_t>(offset)) : std::nullopt;
    const double rated = hit ? std::min(hit->confidence, hit->ceiling) : 0;  // as the scan lists it
    if (hit && (!best || rated > confidence)) best = info.format, confidence = rated;
  }
  const std::string at = HexOffset(static_cast<std::uint32_t>(offset));
  char rated[16];
  std::snprintf(rated, sizeof rated, "%.2f", confidence);
  if (!best) return Fail(streams.Error("no format takes the bytes at " + at + " for a block; name one with --format", kFailure));
  if (confidence < kLikelyBlock)
    return Fail(streams.Error("no format takes the bytes at " + at + " for a block (" + std::string(FormatName(*best)) +
                                  " rates them " + rated + "); name one with --format",
                              kFailure));
  streams.Report(streams.err) << "quarvel-cli: the block at " << at << " is taken for " << FormatName(*best) << " (confidence " << rated
              << ")\n";
  return *best;
}

// "Sonic 1 (Sonic1)": the catalogue of a ROM the catalogues know.
std::string CatalogueName(const KnownRom& rom) {
  return std::string(FindRomCatalogue(rom.baseName)->listText) + " (" + std::string(rom.baseName) + ")";
}

// "a changed Sonic 1 (revision 00)" and "178 of 179 known blocks in place", of an identity How::Changed.
std::pair<std::string, std::string> ChangedRom(const RomIdentity& identity, std::span<const std::uint8_t> image) {
  const auto header = ReadRomHeader(image);
  const bool revision = header && HasMegaDriveHeader(image) && !header->revision.empty();
  return {"a changed " + std::string(FindRomCatalogue(identity.rom->baseName)->listText) +
              (revision ? " (revision " + header->revision + ")" : ""),
          std::to_string(identity.blocksInPlace) + " of " + std::to_string(identity.rom->blocks.size()) +
              " known blocks in place"};
}

}  // namespace quarvel::cli
