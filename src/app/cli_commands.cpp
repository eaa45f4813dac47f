#include "app/cli_commands.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>

#include "catalogue/catalogue_extract.h"
#include "common/md5.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "catalogue/rom_names.h"
#include "decoders/enigma.h"
#include "decoders/saxman.h"
#include "files/extraction.h"
#include "formats/accurate_check.h"
#include "files/files.h"
#include "files/palette_file.h"
#include "formats/format_table.h"
#include "preview/png_import.h"
#include "preview/tile_image.h"
#include "report/report_json.h"
#include "rom/rom_identity.h"
#include "rom/rom_image.h"
#include "rom/rom_layout.h"
#include "scan/block_scan.h"

namespace quarvel::cli {
namespace {

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

constexpr std::string_view kRomLimitReason = "a ROM image is read up to 64 MiB";

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
                                                 const Streams& streams, RomLayout* layout = nullptr) {
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

// The ROM image a command reads: a file, read only as far as a block goes, or standard
// input ("-"), read whole. Either is protected from what the command writes.
class RomInput {
 public:
  static Expected<RomInput, int> Open(const std::string& name, ProtectedFiles& protect, const Streams& streams) {
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

  DecodeResult<DecodedBlock> Read(Format format, std::int64_t offset) const { return Read(CodecOf(format).decode, offset); }
  DecodeResult<DecodedBlock> Read(const SourceDecoder& decode, std::int64_t offset) const {
    if (file_ != nullptr) return ReadBlock(decode, *file_, offset);
    auto in = SpanSource::Open(bytes_, offset);
    if (!in) return Fail(in.error());
    return decode(*in);
  }

  // The whole image (read now, for a file); nothing when the file cannot be read.
  std::optional<std::vector<std::uint8_t>> Whole() const {
    if (file_ == nullptr) return bytes_;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file_->Size()));
    for (std::size_t at = 0; at < bytes.size();) {
      const auto got = file_->ReadAt(at, std::span(bytes).subspan(at));
      if (!got || *got == 0) return std::nullopt;
      at += *got;
    }
    return bytes;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::unique_ptr<RomFile> file_;
};

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

// The blocks a scan found, as one JSON object.
void PrintScanJson(const std::vector<ScanCandidate>& found, const std::string& rom, std::size_t size,
                   std::ostream& out) {
  nlohmann::ordered_json blocks = nlohmann::ordered_json::array();
  for (const auto& c : found) blocks.push_back(ScanCandidateJson(c));
  const nlohmann::ordered_json result = {
      {"format_version", 1}, {"rom", rom}, {"size", size}, {"blocks", std::move(blocks)}};
  // A file name that is not UTF-8 is written with replacement characters.
  out << result.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// The catalogue that `name` names, by ROM name or file name.
Expected<std::string_view, int> CatalogueBaseName(const std::string& name, const Streams& streams) {
  const auto rom = FindRomCatalogue(name);
  if (!rom) return Fail(streams.Error("there is no catalogue '" + name + "'; the catalogues are " + KnownCatalogues(), kUsage));
  return rom->baseName;
}

struct ReadCatalogueFile {
  std::string_view baseName;
  std::filesystem::path path;
  CatalogueLoad load;  // Loaded or Missing
};

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

// Changes the catalogue `name` with `change`, under its lock, and saves it, unless it is
// one of the files `inputs` that the command reads.
template <class Change>
int EditCatalogue(const CatalogueLocation& folder, const std::string& name, const Streams& streams, Change change,
                  const ProtectedFiles* inputs = nullptr) {
  const auto base = CatalogueBaseName(name, streams);
  if (!base) return base.error();
  auto edit = CatalogueEdit::Begin(folder, *base);
  if (!edit) return streams.Error(edit.error().message, kFailure);
  auto entries = edit->Entries();
  if (const int changed = change(entries); changed != kSuccess) return changed;
  const auto saved = edit->Save(entries, inputs);
  return saved ? kSuccess : streams.Error(saved.error().message, kFailure);
}

}  // namespace

int Streams::Error(const std::string& message, int code) const {
  err << "quarvel-cli: error: " << message << '\n';
  return code;
}

void Streams::Warning(const std::string& message) const { err << "quarvel-cli: warning: " << message << '\n'; }

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

int Decompress(std::optional<Format> asked, const OffsetArg& offsetArg, const DecodeArgs& args, const std::string& romArg,
               const std::string& outArg, const CatalogueLocation& catalogues, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  ProtectedFiles protect = CataloguesProtected(catalogues);
  const auto rom = RomInput::Open(romArg, protect, streams);
  if (!rom) return rom.error();
  if (const int checked = CheckOutput(outArg, protect, streams); checked != kSuccess) return checked;
  const auto format = ChooseFormat(asked, *rom, *offset, romArg, streams);
  if (!format) return format.error();

  const auto streamSize = args.streamSize;
  auto block = Decoded(streamSize ? rom->Read([streamSize](ByteSource& in) { return DecodeSaxmanStream(in, *streamSize); }, *offset)
                                  : rom->Read(*format, *offset),
                       streams);
  if (!block) return block.error();
  if (*format == Format::Enigma) AddBaseWord(block->bytes, args.base);
  return Write(block->bytes, outArg, protect, streams);
}

int Compress(Format format, const std::string& in, const std::string& out, const std::optional<AccurateOptions>& accurate,
             bool streamOnly, const CatalogueLocation& catalogues, const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  const FormatInfo& info = InfoOf(format);
  const auto data = ReadInput(in, info.largestData,
                              "a " + std::string(info.title) + " block holds at most " + std::string(info.largestText),
                              protect, "the input itself", streams);
  if (!data) return data.error();
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;

  const FormatCodec& codec = CodecOf(format);
  const auto compressed = accurate ? codec.compressAccurate(*data, *accurate) : codec.compress(*data);
  if (!compressed) return streams.Error("cannot compress '" + in + "': " + compressed.error(), kFailure);
  return Write(std::span(*compressed).subspan(streamOnly ? kSaxmanHeaderBytes : 0), out, protect, streams);
}

int CheckAccurate(Format format, const std::string& file, bool streamOnly, const CatalogueLocation& catalogues,
                  const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  const auto block = ReadInput(file, kRomImageLimit, kRomLimitReason, protect, "the block being checked", streams);
  if (!block) return block.error();
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  const std::string name = file == "-" ? "standard input" : "'" + file + "'";
  const auto check = quarvel::CheckAccurate(format, *block, streamOnly);
  if (!check) {
    return streams.Error(name + " is no " + std::string(InfoOf(format).title) + " block: " + check.error().message,
                         kFailure);
  }
  const auto byte = [](std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return std::string(text);
  };
  if (check->identical) {
    streams.out << name << " is identical to what the games' compressor writes"
                << (check->form.empty() ? "" : " (the " + std::string(check->form) + " form)") << '\n';
    return kSuccess;
  }
  streams.out << name << " differs from what the games' compressor writes at byte " << HexOffset(check->firstDifference)
              << ": ";
  if (check->stored && check->accurate)
    streams.out << "it has " << byte(*check->stored) << " where the compressor writes " << byte(*check->accurate);
  else if (check->accurate)
    streams.out << "it ends where the compressor writes " << byte(*check->accurate) << " and more";
  else
    streams.out << "it goes on after the " << SizeText(check->accurateSize) << " the compressor writes";
  streams.out << (check->form.empty() ? "" : " (nearest: the " + std::string(check->form) + " form)") << '\n';
  return kFailure;
}

// Whether --tiles names a block of the ROM (an offset written 0x...), not a file.
bool IsRomOffset(const std::string& tiles) { return tiles.rfind("0x", 0) == 0 || tiles.rfind("0X", 0) == 0; }

// The tiles a plane map is drawn with: a block of the ROM image at an offset written
// with 0x, or a file (as it is, or decoded when --tiles-format names a format).
Expected<std::vector<std::uint8_t>, int> MapTiles(const RomInput& rom, const PreviewArgs& look, ProtectedFiles& protect,
                                                  const Streams& streams) {
  const FormatInfo* format = FormatNamed(look.tilesFormat);
  if (IsRomOffset(look.tiles)) {
    const auto offset = ParseOffset({look.tiles, Radix::Hex}, streams);
    if (!offset) return Fail(offset.error());
    if (format == nullptr)
      return Fail(streams.Error("--tiles " + look.tiles + " is a block of the ROM: say its format with --tiles-format", kUsage));
    auto block = Decoded(rom.Read(format->format, *offset), streams);
    if (!block) return Fail(block.error());
    return std::move(block->bytes);
  }
  const auto path = PathFromUtf8(look.tiles);
  protect.Add(path, "the tiles being read");
  auto bytes = ReadWholeFile(path, kRomImageLimit);
  if (!bytes) return Fail(streams.Error(bytes.error().message, kFailure));
  if (format == nullptr) return std::move(*bytes);
  auto block = Decoded(DecodeBlock(format->format, *bytes, 0), streams);
  if (!block) return Fail(block.error());
  return std::move(block->bytes);
}

int Preview(std::optional<Format> asked, const OffsetArg& offsetArg, const std::string& romArg, const PreviewArgs& look,
            const std::string& out, const CatalogueLocation& catalogues, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  ProtectedFiles protect = CataloguesProtected(catalogues);
  const auto rom = RomInput::Open(romArg, protect, streams);
  if (!rom) return rom.error();
  std::vector<Palette> lines{GreyPalette()};
  if (!look.palette.empty()) {
    protect.Add(PathFromUtf8(look.palette), "the palette being read");
    const auto read = ReadPaletteFile(PathFromUtf8(look.palette));
    if (!read) return streams.Error(read.error(), kFailure);
    lines = *read;
  }
  if (!look.tiles.empty() && !IsRomOffset(look.tiles)) protect.Add(PathFromUtf8(look.tiles), "the tiles being read");
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;
  const auto chosen = ChooseFormat(asked, *rom, *offset, romArg, streams);
  if (!chosen) return chosen.error();
  const Format format = *chosen;
  if (!look.tiles.empty() && format != Format::Enigma) return streams.Error("--tiles applies to Enigma maps only", kUsage);
  if (look.firstTile && (look.tiles.empty() || format != Format::Enigma))
    return streams.Error("--first-tile applies to Enigma maps drawn with --tiles", kUsage);
  const auto block = Decoded(rom->Read(format, *offset), streams);
  if (!block) return block.error();
  if (format != Format::Enigma) {
    const auto image = RenderTiles(block->bytes, lines.front(), look.columns, look.zoom);
    if (!image) return streams.Error("cannot draw the block: " + image.error(), kFailure);
    const std::string rom = romArg == "-" ? "standard input" : PathToUtf8(PathFromUtf8(romArg).filename());
    const PictureLayout layout{std::string(FormatName(format)), (block->bytes.size() + kTileBytes - 1) / kTileBytes,
                               look.columns, look.zoom, 0, rom + "@" + HexOffset(static_cast<std::uint64_t>(*offset))};
    return Write(EncodePng(*image, &layout), out, protect, streams);
  }
  if (look.tiles.empty()) {
    const std::string text = PlaneMapText(block->bytes, look.columns);
    return Write(std::vector<std::uint8_t>(text.begin(), text.end()), out, protect, streams);
  }
  const auto tiles = MapTiles(*rom, look, protect, streams);
  if (!tiles) return tiles.error();
  const std::size_t tileCount = tiles->size() / 32;
  const unsigned firstTile = look.firstTile.value_or(ProposedFirstTile(block->bytes, tileCount));
  if (!look.firstTile && firstTile != 0) {
    streams.Report(streams.err) << "quarvel-cli: the map's tiles start at " << HexOffset(firstTile)
                                << " in video memory, beyond its " << tileCount << " tiles: drawn with --first-tile "
                                << HexOffset(firstTile) << '\n';
  }
  const auto image = RenderPlaneMap(block->bytes, *tiles, lines, look.columns, look.zoom, firstTile);
  if (!image) return streams.Error("cannot draw the map: " + image.error(), kFailure);
  return Write(EncodePng(*image), out, protect, streams);
}

int Scan(const std::string& romArg, FormatSet formats, const ScanArgs& args, const CatalogueLocation& catalogues,
         const Streams& streams) {
  if (!args.addTo.empty()) {
    if (const auto base = CatalogueBaseName(args.addTo, streams); !base) return base.error();
    if (catalogues.folder.empty()) return streams.Error(catalogues.problem, kFailure);
  }
  ProtectedFiles inputs;
  const auto rom = ReadRom(romArg, inputs, streams);
  if (!rom) return rom.error();
  ProtectedFiles protect = inputs;
  ProtectCatalogues(protect, catalogues);
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  if (!args.addTo.empty()) {  // before the work, as for any file a command writes
    const auto base = FindRomCatalogue(args.addTo)->baseName;
    if (auto refusal = inputs.Refusal(CatalogueToWrite(catalogues, base))) return streams.Error(*refusal, kFailure);
  }

  ScanProgress progress;
  const bool drawn = streams.errIsTerminal && !streams.quiet;
  if (drawn) {
    progress = [&streams, shown = std::make_shared<std::uint64_t>(101)](std::uint64_t done, std::uint64_t total) {
      const std::uint64_t percent = total == 0 ? 100 : done * 100 / total;
      if (percent == *shown) return true;  // redrawn only when its figure changes
      *shown = percent;
      const int width = 40;
      const auto filled = static_cast<int>(percent * width / 100);
      streams.err << "\rScanning [" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << percent << "%" << std::flush;
      return true;
    };
  }
  const auto found = ScanRom(*rom, {formats, 0}, progress);
  if (drawn) streams.err << "\r" << std::string(60, ' ') << "\r" << std::flush;
  if (!found) return streams.Error(found.error().message, kFailure);

  if (args.json) {
    PrintScanJson(*found, romArg, rom->size(), streams.out);
  } else {
    char line[160];
    streams.out << "offset      format            decoded   tiles  compressed  confidence  games' own\n";
    for (const auto& c : *found) {
      const std::string tiles = InfoOf(c.format).tiles ? std::to_string(c.decodedSize / kTileBytes) : "-";
      std::snprintf(line, sizeof line, "%-10s  %-16s  %7zu  %6s  %10llu  %10.2f  %s\n", HexOffset(c.offset).c_str(),
                    std::string(FormatName(c.format)).c_str(), c.decodedSize, tiles.c_str(),
                    static_cast<unsigned long long>(c.compressedSize), c.confidence, c.gamesOwn ? "yes" : "-");
      streams.out << line;
    }
  }
  if (args.addTo.empty()) return kSuccess;
  return EditCatalogue(catalogues, args.addTo, streams, [&](std::vector<std::string>& entries) {
    std::size_t added = 0;
    for (const auto& c : *found) {
      const auto offset = static_cast<std::int32_t>(c.offset);
      if (c.confidence < args.minConfidence || Lists(entries, offset, c.format)) continue;
      if (entries.size() >= kMaxCatalogueEntries)
        return streams.Error("the catalogue is full: it holds " + std::to_string(kMaxCatalogueEntries) + " entries",
                             kFailure);
      entries.push_back(FormatEntry(offset, c.format, ScanEntryDescription(c)));
      ++added;
    }
    streams.Report(streams.err) << "quarvel-cli: added " << added << (added == 1 ? " block" : " blocks") << " to the catalogue '"
                << FindRomCatalogue(args.addTo)->listText << "'\n";
    return kSuccess;
  }, &inputs);
}

int CatalogueList(const CatalogueLocation& folder, const std::string& rom, bool json, const Streams& streams) {
  const auto catalogue = ReadCatalogue(folder, rom, streams);
  if (!catalogue) return catalogue.error();
  if (const int checked = CheckStandardOutput(CataloguesProtected(folder), streams); checked != kSuccess) return checked;
  if (catalogue->load.status == CatalogueLoad::Status::Missing)
    streams.Report(streams.err) << "quarvel-cli: no catalogue file at '" << PathToUtf8(catalogue->path) << "' yet\n";
  const auto& entries = catalogue->load.entries;
  if (!json) {
    for (std::size_t i = 0; i < entries.size(); ++i)
      streams.out << (i + 1) << '\t' << (streams.outIsTerminal ? ControlsEscaped(entries[i]) : entries[i]) << '\n';
    return kSuccess;
  }
  // Each entry as it stands, and what it says when it has the form FormatEntry writes.
  nlohmann::json listed = nlohmann::json::array();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto offset = ParseOffsetText(std::string(EntryOffsetText(entries[i])), Radix::Hex);
    const auto format = EntryFormat(entries[i]);
    nlohmann::json entry = {{"number", i + 1}, {"entry", entries[i]}, {"offset", nullptr}, {"offset_hex", nullptr},
                            {"format", nullptr}, {"description", std::string(EntryDescription(entries[i]))}};
    if (offset && EntryOffsetText(entries[i]).size() == kEntryOffsetLength) {
      entry["offset"] = static_cast<std::uint32_t>(*offset);
      entry["offset_hex"] = HexOffset(static_cast<std::uint32_t>(*offset));
    }
    if (format) entry["format"] = std::string(FormatName(*format));
    listed.push_back(std::move(entry));
  }
  const nlohmann::json document = {{"format_version", 1}, {"catalogue", std::string(catalogue->baseName)},
                                   {"file", PathToUtf8(catalogue->path)}, {"entries", std::move(listed)}};
  streams.out << document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  return kSuccess;
}

int CatalogueAdd(const CatalogueLocation& folder, const std::string& rom, const OffsetArg& offsetArg, Format format,
                 const std::string& description, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  if (const auto problem = DescriptionProblem(description)) return streams.Error(*problem, kUsage);
  return EditCatalogue(folder, rom, streams, [&](std::vector<std::string>& entries) {
    if (entries.size() >= kMaxCatalogueEntries)
      return streams.Error("the catalogue is full: it holds " + std::to_string(kMaxCatalogueEntries) + " entries", kFailure);
    entries.push_back(FormatEntry(*offset, format, description));
    return kSuccess;
  });
}

int CatalogueRemove(const CatalogueLocation& folder, const std::string& rom, int number, const Streams& streams) {
  return EditCatalogue(folder, rom, streams, [&](std::vector<std::string>& entries) {
    if (number < 1 || static_cast<std::size_t>(number) > entries.size()) {
      return streams.Error("the catalogue '" + std::string(FindRomCatalogue(rom)->listText) + "' has " +
                               std::to_string(entries.size()) + " entries; there is no entry " + std::to_string(number),
                           kFailure);
    }
    entries.erase(entries.begin() + (number - 1));
    return kSuccess;
  });
}

int CatalogueWhere(const CatalogueLocation& folder, const Streams& streams) {
  if (folder.folder.empty()) return streams.Error(folder.problem, kFailure);
  if (const int checked = CheckStandardOutput(CataloguesProtected(folder), streams); checked != kSuccess) return checked;
  streams.out << PathToUtf8(folder.folder) << '\n';
  return kSuccess;
}

int Insert(Format format, const OffsetArg& offsetArg, const std::string& romArg, const std::string& dataArg,
           const std::string& out, const InsertArgs& args, const CatalogueLocation& catalogues, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  ProtectedFiles protect = CataloguesProtected(catalogues);
  RomLayout layout = RomLayout::Plain;
  auto rom = ReadRom(romArg, protect, streams, &layout);
  if (!rom) return rom.error();
  const FormatInfo& info = InfoOf(format);
  const std::uint64_t limit = args.raw ? kRomImageLimit : info.largestData;
  const auto data = ReadInput(dataArg, limit,
                              args.raw ? "a block is read up to " + SizeText(limit)
                                       : "a " + std::string(info.title) + " block holds at most " + std::string(info.largestText),
                              protect, "the data being inserted", streams);
  if (!data) return data.error();
  bool listed = false;
  if (!args.catalogue.empty()) {
    const auto catalogue = ReadCatalogue(catalogues, args.catalogue, streams);
    if (!catalogue) return catalogue.error();
    listed = Lists(catalogue->load.entries, *offset, format);
  }
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;

  const BlockChange change{.format = format,
                           .offset = *offset,
                           .raw = args.raw,
                           .fixChecksum = !args.keepChecksum,
                           .placing = {args.fill, args.append, args.allowLarge},
                           .listed = listed,
                           .force = args.force,
                           .resize = args.resize};
  const auto changed = ReplaceBlock(*rom, *data, change);
  if (!changed) {
    std::string message = "cannot insert at " + HexOffset(static_cast<std::uint64_t>(*offset)) + ": " + changed.error().message;
    if (changed.error().kind == ChangeFailure::Kind::NotABlock)
      message += " (name a catalogue that lists it with --catalogue, or replace it anyway with --force)";
    if (changed.error().kind == ChangeFailure::Kind::TileCountChanged) message += ": give --resize to change the count";
    return streams.Error(message, kFailure);
  }
  for (const auto& warning : changed->warnings) streams.Warning("the new block: " + warning);
  if (const int written = Write(*rom, out, protect, streams); written != kSuccess) return written;
  std::ostream& report = streams.Report(out == "-" ? streams.err : streams.out);
  const std::string decoded =
      "decoded: " + SizeText(changed->newDecodedSize) + ", was " + SizeText(changed->oldDecodedSize);
  if (changed->where.appended) {
    report << "appended the block (" << changed->newSize << " bytes; the old one's room is " << changed->oldSize << "; "
           << decoded << ") at " << HexOffset(changed->where.offset) << "; the ROM is now " << changed->where.romSize
           << " bytes. Point the game at " << HexOffset(changed->where.offset) << " where it pointed at "
           << HexOffset(static_cast<std::uint64_t>(*offset)) << ".\n";
  } else {
    report << "inserted " << changed->newSize << " bytes at " << HexOffset(changed->where.offset) << " in place of "
           << changed->oldSize << " (" << decoded << ")" << (changed->newSize < changed->oldSize ? "; the rest filled" : "")
           << ".\n";
  }
  SayPlainWritten(layout, report);
  return kSuccess;
}

namespace {

// The checksum's words: "stored 0x264A, computed 0x264A over 0x200 to 0x7FFFF: correct"
// (`infoOrder`: "0x264A stored, 0x264A computed over ...").
std::string ChecksumLine(std::span<const std::uint8_t> rom, std::uint16_t stored, bool infoOrder) {
  const std::uint16_t computed = ComputeChecksum(rom);
  const std::size_t end = ChecksumEnd(rom);
  char sums[48];
  std::snprintf(sums, sizeof sums, infoOrder ? "0x%04X stored, 0x%04X computed" : "stored 0x%04X, computed 0x%04X", stored,
                computed);
  return sums + std::string(" over ") +
         (end > kChecksumFrom ? HexOffset(kChecksumFrom) + " to " + HexOffset(end - 1) : "no bytes") +
         (stored == computed ? ": correct" : ": wrong");
}

}  // namespace

int Checksum(const std::string& romArg, const std::string& fixedOut, const CatalogueLocation& catalogues,
             const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  RomLayout layout = RomLayout::Plain;
  auto rom = ReadRom(romArg, protect, streams, &layout);
  if (!rom) return rom.error();
  if (const int checked = CheckOutput(fixedOut.empty() ? "-" : fixedOut, protect, streams); checked != kSuccess)
    return checked;
  const auto stored = StoredChecksum(*rom);
  if (!stored) return streams.Error("'" + romArg + "' is too small to hold a Mega Drive header", kFailure);
  const bool right = *stored == ComputeChecksum(*rom);
  const std::string line = ChecksumLine(*rom, *stored, false) + "\n";
  if (fixedOut.empty()) {
    streams.out << line;
    return right ? kSuccess : kFailure;
  }
  std::ostream& report = streams.Report(fixedOut == "-" ? streams.err : streams.out);
  report << line;
  FixChecksum(*rom);
  const int written = Write(*rom, fixedOut, protect, streams);
  if (written == kSuccess) SayPlainWritten(layout, report);
  return written;
}

namespace {

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

}  // namespace

int Info(const std::string& romArg, const CatalogueLocation& catalogues, const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  RomLayout layout = RomLayout::Plain;
  const auto rom = ReadRom(romArg, protect, streams, &layout);
  if (!rom) return rom.error();
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  const auto header = ReadRomHeader(*rom);
  if (!header) return streams.Error("'" + romArg + "' is too small to hold a Mega Drive header", kFailure);
  auto& out = streams.out;
  if (HasMegaDriveHeader(*rom)) {
    out << "console:        " << header->console << '\n'
        << "title:          " << header->domesticTitle << '\n'
        << "overseas title: " << header->overseasTitle << '\n'
        << "serial:         " << header->serial
        << (header->revision.empty() ? "" : " (revision " + header->revision + ")") << '\n'
        << "checksum:       " << ChecksumLine(*rom, header->storedChecksum, true) << '\n'
        << "ROM end:        " << HexOffset(header->romEnd) << (header->romEnd < rom->size() ? "" : " (past the image's end)")
        << '\n'
        << "region:         " << header->region << '\n';
  } else {
    out << "header:         none (no \"SEGA\" at 0x100)\n";
  }
  out << "size:           " << rom->size() << " bytes\n"
      << "md5:            " << Md5Text(*rom) << '\n'
      << "interleaved:    " << (layout == RomLayout::Interleaved ? "yes (.smd), read de-interleaved" : "no") << '\n';
  const RomIdentity identity = IdentifyRom(*rom);
  out << "catalogue:      ";
  switch (identity.how) {
    case RomIdentity::How::Exactly: out << CatalogueName(*identity.rom) << ": this very image (its size and MD5)\n"; break;
    case RomIdentity::How::Probably:
      out << "probably " << CatalogueName(*identity.rom) << " (its serial, size and stored checksum; not its MD5)\n";
      break;
    case RomIdentity::How::Changed: {
      const auto [changed, inPlace] = ChangedRom(identity, *rom);
      out << changed << ": " << inPlace << '\n';
      break;
    }
    case RomIdentity::How::Unknown: out << "none: an unknown image\n"; break;
  }
  return kSuccess;
}

namespace {

// What decided a picture's zoom or tile count, as import-png says it.
std::string_view Why(ReadingChoice choice, bool zoom) {
  switch (choice) {
    case ReadingChoice::Given: return zoom ? "as --zoom says" : "as --tile-count says";
    case ReadingChoice::Layout: return "from the picture's layout";
    case ReadingChoice::Expected: return zoom ? "the one that gives the expected count" : "the expected count";
    case ReadingChoice::Picture: break;
  }
  return zoom ? "the largest at which each cell is one colour" : "every tile";
}

}  // namespace

int ImportPng(const std::string& image, const std::string& out, const ImportArgs& args, const CatalogueLocation& catalogues,
              const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  std::vector<Palette> palette;
  if (!args.palette.empty()) {
    protect.Add(PathFromUtf8(args.palette), "the palette being read");
    auto read = ReadPaletteFile(PathFromUtf8(args.palette));
    if (!read) return streams.Error(read.error(), kFailure);
    palette = std::move(*read);
  }
  const auto png = ReadInput(image, kRomImageLimit, "an image is read up to " + SizeText(kRomImageLimit), protect,
                             "the image being read", streams);
  if (!png) return png.error();
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;
  const PictureReading how{.match = args.nearest ? ColourMatch::Nearest : ColourMatch::Exact,
                           .zoom = args.zoom,
                           .tileCount = args.tileCount,
                           .line = args.line};
  const auto tiles = TilesFromPng(*png, palette, how);
  if (!tiles) return streams.Error("cannot take tiles from '" + image + "': " + tiles.error().message, kFailure);
  for (const auto& warning : tiles->warnings) streams.Warning(warning.message);
  if (const std::size_t blank = tiles->blankTilesAtEnd; blank > 0) {
    const std::size_t first = tiles->tileCount - blank;
    streams.Warning("the picture's last row ends in " + (blank == 1 ? "a blank tile" : std::to_string(blank) + " blank tiles") +
                    " (colour 0 only), taken as " +
                    (blank == 1 ? "tile " + std::to_string(first)
                                : "tiles " + std::to_string(first) + " to " + std::to_string(tiles->tileCount - 1)) +
                    ": if they only fill the row out, give --tile-count " + std::to_string(first));
  }
  streams.Report(streams.err) << "quarvel-cli: read at zoom " << tiles->zoom << " (" << Why(tiles->zoomFrom, true) << "), "
                              << tiles->tileCount << (tiles->tileCount == 1 ? " tile (" : " tiles (")
                              << Why(tiles->countFrom, false) << ")\n";
  const FormatInfo* format = FormatNamed(args.compressFormat);
  if (format == nullptr) return Write(tiles->tiles, out, protect, streams);
  const auto compressed = CodecOf(format->format).compress(tiles->tiles);
  if (!compressed) return streams.Error("cannot compress the tiles: " + compressed.error(), kFailure);
  return Write(*compressed, out, protect, streams);
}

namespace {

// The catalogue of the ROM that `rom` (read from `romArg`) is, said on standard error; a
// usage error naming --catalogue when it is none the catalogues know.
Expected<std::string, int> IdentifiedCatalogue(const RomInput& rom, const std::string& romArg, const Streams& streams) {
  const auto image = rom.Whole();
  if (!image) return Fail(streams.Error("cannot read '" + romArg + "' whole", kFailure));
  const RomIdentity identity = IdentifyRom(*image);
  if (!identity.rom) {
    return Fail(streams.Error("no catalogue fits '" + romArg + "' (see 'quarvel-cli info'): name one with --catalogue; the "
                              "catalogues are " + KnownCatalogues(), kUsage));
  }
  std::string why;
  switch (identity.how) {
    case RomIdentity::How::Exactly: why = "this very image"; break;
    case RomIdentity::How::Probably: why = "probably this image (its serial, size and stored checksum)"; break;
    case RomIdentity::How::Changed: {
      const auto [changed, inPlace] = ChangedRom(identity, *image);
      why = changed + ", " + inPlace;
      break;
    }
    case RomIdentity::How::Unknown: break;
  }
  const auto catalogue = FindRomCatalogue(identity.rom->baseName);
  streams.Report(streams.err) << "quarvel-cli: using the catalogue '" << catalogue->listText << "' ("
                              << catalogue->baseName << "): " << why << '\n';
  return std::string(catalogue->baseName);
}

}  // namespace

int Extract(const CatalogueLocation& folder, const std::string& name, const std::string& rom,
            const std::string& outDir, const Streams& streams) {
  if (outDir == "-") {
    return streams.Error("extract writes a file for each block into a folder, not to standard output: name a folder "
                         "('./-' for one named '-')", kUsage);
  }
  // A catalogue named is read before the ROM image; else the image names it.
  const auto readCatalogue = [&](const std::string& named) -> Expected<ReadCatalogueFile, int> {
    auto read = ReadCatalogue(folder, named, streams);
    if (read && read->load.status == CatalogueLoad::Status::Missing)
      return Fail(streams.Error("there is no catalogue file '" + PathToUtf8(read->path) + "'", kFailure));
    return read;
  };
  std::optional<ReadCatalogueFile> catalogue;
  if (!name.empty()) {
    auto read = readCatalogue(name);
    if (!read) return read.error();
    catalogue = std::move(*read);
  }
  ProtectedFiles protect = CataloguesProtected(folder);
  const auto input = RomInput::Open(rom, protect, streams);
  if (!input) return input.error();
  if (!catalogue) {
    const auto identified = IdentifiedCatalogue(*input, rom, streams);
    if (!identified) return identified.error();
    auto read = readCatalogue(*identified);
    if (!read) return read.error();
    catalogue = std::move(*read);
  }
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  const RomReader read = [&input](Format format, std::int64_t offset) { return input->Read(format, offset); };
  std::error_code error;
  std::filesystem::create_directories(PathFromUtf8(outDir), error);
  if (error) return streams.Error("cannot create the folder '" + outDir + "': " + error.message(), kFailure);
  RemoveAbandonedTemporaryFiles(PathFromUtf8(outDir));

  const std::size_t total = catalogue->load.entries.size();
  std::vector<std::size_t> failed;
  ExtractCatalogue(read, catalogue->load.entries, PathFromUtf8(outDir), {&protect, LinkRule::Refuse, false},
                   [&](const EntryExtraction& done) {
    std::string step = "[";
    step.append(std::to_string(done.number)).append("/").append(std::to_string(total)).append("] ");
    if (!done.result || !*done.result) {
      failed.push_back(done.number);
      step.append("entry '").append(done.entry).append("': ");
      streams.Error(step + (done.result ? done.result->error().message
                                        : std::string("not an entry of the form 'OOOOOOOO - <K> - description'")),
                    kFailure);
      return;
    }
    const Extraction& extraction = **done.result;
    streams.Report(streams.out) << step << PathToUtf8(done.file) << ": " << extraction.decodedSize << " bytes\n";
    for (const auto& warning : extraction.warnings) streams.Warning(step + warning);
    streams.out.flush();
  });

  std::ostream& summary = streams.Report(streams.out);
  summary << total << (total == 1 ? " entry: " : " entries: ") << total - failed.size() << " extracted, "
              << failed.size() << " failed";
  for (std::size_t i = 0; i < failed.size(); ++i) summary << (i == 0 ? " (entry " : ", ") << failed[i];
  summary << (failed.empty() ? "\n" : ")\n");
  return failed.empty() ? kSuccess : kFailure;
}

}  // namespace quarvel::cli
