#include "app/cli_commands.h"

#include <cstdio>
#include <iostream>
#include <iterator>

#include "catalogue/catalogue_extract.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "catalogue/rom_names.h"
#include "decoders/nemesis.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "platform/files.h"
#include "preview/tile_image.h"
#include "scan/block_scan.h"

namespace quarvel::cli {
namespace {

Expected<std::int32_t, int> ParseOffset(const OffsetArg& offset, const Streams& streams) {
  const auto value = ParseOffsetText(offset.text, offset.radix);
  if (!value) return Fail(streams.Error(DescribeOffsetTextError(value.error(), offset.text, offset.radix), kUsage));
  return *value;
}

void WarnCopyBeforeStart(const Streams& streams, std::uint64_t position, std::size_t decodedSize) {
  streams.Warning("a copy at stream byte " + HexOffset(position) +
                  " reaches before the start of the output; decoding stopped there with " +
                  std::to_string(decodedSize) + " bytes");
}

// The last byte of a block that a copy from before its start stopped.
std::uint64_t StopPosition(std::int32_t offset, std::uint64_t compressedSize) {
  return static_cast<std::uint64_t>(offset) + compressedSize - 1;
}

// Writes `bytes` to standard output for "-", else replaces the file `out` whole.
int Write(std::span<const std::uint8_t> bytes, const std::string& out, const Streams& streams) {
  if (out == "-") {
    streams.out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    streams.out.flush();
    return streams.out ? kSuccess : streams.Error("cannot write to standard output", kFailure);
  }
  if (const auto error = ReplaceFileContents(out, bytes))
    return streams.Error("cannot write '" + out + "': " + error.message(), kFailure);
  return kSuccess;
}

int ReportFailure(const DecodeError& error, const Streams& streams) {
  if (error.kind == DecodeErrorKind::CopyBeforeStart) WarnCopyBeforeStart(streams, error.position, 0);
  return streams.Error(error.message, kFailure);
}

struct OpenCatalogue {
  RomCatalogue rom;
  std::filesystem::path file;
  CatalogueLoad load;
};

std::string KnownCatalogues() {
  std::string names;
  for (const auto& rom : kRomCatalogues) {
    if (!names.empty()) names += ", ";
    names.append("\"").append(rom.listText).append("\" (").append(rom.baseName).append(")");
  }
  return names;
}

Expected<OpenCatalogue, int> Open(const std::filesystem::path& folder, const std::string& name, const Streams& streams) {
  const auto rom = FindRomCatalogue(name);
  if (!rom) return Fail(streams.Error("there is no catalogue '" + name + "'; the catalogues are " + KnownCatalogues(), kUsage));
  OpenCatalogue catalogue{*rom, CatalogueFilePath(folder, rom->baseName), {}};
  catalogue.load = LoadCatalogue(catalogue.file);
  if (catalogue.load.status == CatalogueLoad::Status::Failed)
    return Fail(streams.Error("cannot read the catalogue file '" + PathToUtf8(catalogue.file) + "'", kFailure));
  return catalogue;
}

int Save(const OpenCatalogue& catalogue, const std::vector<std::string>& entries, const Streams& streams) {
  if (const auto error = SaveCatalogue(catalogue.file, entries))
    return streams.Error("cannot write the catalogue file '" + PathToUtf8(catalogue.file) + "': " + error.message(),
                         kFailure);
  return kSuccess;
}

}  // namespace

int Streams::Error(const std::string& message, int code) const {
  err << "quarvel-cli: error: " << message << '\n';
  return code;
}

void Streams::Warning(const std::string& message) const { err << "quarvel-cli: warning: " << message << '\n'; }

int Decompress(Format format, const OffsetArg& offsetArg, const std::string& romArg, const std::string& outArg,
               const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();

  if (romArg != "-" && outArg != "-") {
    const auto result = quarvel::Decompress(format, romArg, outArg, *offset);
    if (!result) return ReportFailure(result.error(), streams);
    if (result->stoppedAtCopyBeforeStart)
      WarnCopyBeforeStart(streams, StopPosition(*offset, result->compressedSize), result->decodedSize);
    return kSuccess;
  }

  std::vector<std::uint8_t> input;
  if (romArg == "-") input.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  const auto block = romArg == "-" ? DecodeBlock(format, input, *offset) : ReadBlock(format, romArg, *offset);
  if (!block) return ReportFailure(block.error(), streams);
  if (block->stoppedAtCopyBeforeStart)
    WarnCopyBeforeStart(streams, StopPosition(*offset, block->compressedSize), block->bytes.size());
  return Write(block->bytes, outArg, streams);
}

int Compress(Format format, const std::string& in, const std::string& out, const Streams& streams) {
  std::vector<std::uint8_t> data;
  if (in == "-") {
    data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    const FileContents contents = ReadWholeFile(in);
    if (contents.error) return streams.Error("cannot read '" + in + "': " + contents.error.message(), kFailure);
    data = contents.bytes;
  }
  if (in != "-" && out != "-" && IsSameFile(in, out))
    return streams.Error("the output '" + out + "' is the input itself; write it to another file", kFailure);

  const auto compressed = format == Format::Kosinski ? CompressKosinski(data) : CompressNemesis(data);
  if (!compressed) return streams.Error("cannot compress '" + in + "': " + compressed.error(), kFailure);
  return Write(*compressed, out, streams);
}

int Preview(Format format, const OffsetArg& offsetArg, const std::string& romArg, const PreviewArgs& look,
            const std::string& out, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  Palette palette = GreyPalette();
  if (!look.palette.empty()) {
    const FileContents file = ReadWholeFile(look.palette);
    if (file.error) return streams.Error("cannot read '" + look.palette + "': " + file.error.message(), kFailure);
    const auto parsed = ParseMegaDrivePalette(file.bytes);
    if (!parsed) return streams.Error("'" + look.palette + "' is not a palette: " + parsed.error(), kFailure);
    palette = *parsed;
  }
  const auto block = ReadBlock(format, romArg, *offset);
  if (!block) return ReportFailure(block.error(), streams);
  if (block->stoppedAtCopyBeforeStart)
    WarnCopyBeforeStart(streams, StopPosition(*offset, block->compressedSize), block->bytes.size());
  const auto image = RenderTiles(block->bytes, palette, look.columns, look.zoom);
  if (!image) return streams.Error("cannot draw the block: " + image.error(), kFailure);
  return Write(EncodePng(*image), out, streams);
}

int Scan(const std::string& romArg, ScanFormats formats, bool json, const Streams& streams) {
  const FileContents rom = ReadWholeFile(romArg);
  if (rom.error) return streams.Error("cannot read '" + romArg + "': " + rom.error.message(), kFailure);

  ScanProgress progress;
  if (streams.errIsTerminal) {
    progress = [&streams](std::uint64_t done, std::uint64_t total) {
      const int width = 40;
      const auto filled = total == 0 ? width : static_cast<int>(done * width / total);
      streams.err << "\rScanning [" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(width - filled), '.') << "] "
                  << (total == 0 ? 100 : done * 100 / total) << "%" << std::flush;
      return true;
    };
  }
  const auto found = ScanRom(rom.bytes, {formats != ScanFormats::Nemesis, formats != ScanFormats::Kosinski}, progress);
  if (streams.errIsTerminal) streams.err << "\r" << std::string(60, ' ') << "\r" << std::flush;

  char line[160];
  if (json) streams.out << "[";
  bool first = true;
  if (!json) streams.out << "offset      format    decoded   tiles  compressed  confidence\n";
  for (const auto& c : *found) {
    const bool nemesis = c.format == Format::Nemesis;
    const std::string tiles = nemesis ? std::to_string(c.decodedSize / kNemesisTileBytes) : (json ? "null" : "-");
    if (json) {
      std::snprintf(line, sizeof line,
                    "%s\n  {\"offset\": %llu, \"offset_hex\": \"%s\", \"format\": \"%s\", \"decoded_size\": %zu, "
                    "\"tiles\": %s, \"compressed_size\": %llu, \"confidence\": %.2f}",
                    first ? "" : ",", static_cast<unsigned long long>(c.offset), HexOffset(c.offset).c_str(),
                    std::string(FormatName(c.format)).c_str(), c.decodedSize, tiles.c_str(),
                    static_cast<unsigned long long>(c.compressedSize), c.confidence);
    } else {
      std::snprintf(line, sizeof line, "%-10s  %-8s  %7zu  %6s  %10llu  %10.2f\n", HexOffset(c.offset).c_str(),
                    std::string(FormatName(c.format)).c_str(), c.decodedSize, tiles.c_str(),
                    static_cast<unsigned long long>(c.compressedSize), c.confidence);
    }
    streams.out << line;
    first = false;
  }
  if (json) streams.out << (first ? "]\n" : "\n]\n");
  return kSuccess;
}

int CatalogueList(const std::filesystem::path& folder, const std::string& rom, const Streams& streams) {
  const auto catalogue = Open(folder, rom, streams);
  if (!catalogue) return catalogue.error();
  const auto& entries = catalogue->load.entries;
  for (std::size_t i = 0; i < entries.size(); ++i) streams.out << (i + 1) << '\t' << entries[i] << '\n';
  return kSuccess;
}

int CatalogueAdd(const std::filesystem::path& folder, const std::string& rom, const OffsetArg& offsetArg, Format format,
                 const std::string& description, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  auto catalogue = Open(folder, rom, streams);
  if (!catalogue) return catalogue.error();
  auto entries = catalogue->load.entries;
  if (entries.size() >= kMaxCatalogueEntries)
    return streams.Error("the catalogue is full: it holds " + std::to_string(kMaxCatalogueEntries) + " entries", kFailure);
  entries.push_back(FormatEntry(*offset, format, description));
  return Save(*catalogue, entries, streams);
}

int CatalogueRemove(const std::filesystem::path& folder, const std::string& rom, int number, const Streams& streams) {
  const auto catalogue = Open(folder, rom, streams);
  if (!catalogue) return catalogue.error();
  auto entries = catalogue->load.entries;
  if (number < 1 || static_cast<std::size_t>(number) > entries.size()) {
    return streams.Error("the catalogue '" + std::string(catalogue->rom.listText) + "' has " +
                             std::to_string(entries.size()) + " entries; there is no entry " + std::to_string(number),
                         kFailure);
  }
  entries.erase(entries.begin() + (number - 1));
  return Save(*catalogue, entries, streams);
}

int Extract(const std::filesystem::path& folder, const std::string& name, const std::string& rom,
            const std::string& outDir, const Streams& streams) {
  const auto catalogue = Open(folder, name, streams);
  if (!catalogue) return catalogue.error();
  if (catalogue->load.status == CatalogueLoad::Status::Missing)
    return streams.Error("there is no catalogue file '" + PathToUtf8(catalogue->file) + "'", kFailure);
  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (error) return streams.Error("cannot create the folder '" + outDir + "': " + error.message(), kFailure);

  const std::size_t total = catalogue->load.entries.size();
  std::vector<std::size_t> failed;
  ExtractCatalogue(rom, catalogue->load.entries, outDir, [&](const EntryExtraction& done) {
    std::string step = "[";
    step.append(std::to_string(done.number)).append("/").append(std::to_string(total)).append("] ");
    if (!done.result) {
      failed.push_back(done.number);
      streams.Error(step.append("entry '").append(done.entry).append("': ").append(done.result.error()), kFailure);
      return;
    }
    streams.out << step << PathToUtf8(done.file) << ": " << done.result->decodedSize << " bytes"
                << (done.result->stoppedAtCopyBeforeStart ? " (stopped at a copy from before the start)" : "") << '\n';
    streams.out.flush();
  });

  streams.out << total << (total == 1 ? " entry: " : " entries: ") << total - failed.size() << " extracted, "
              << failed.size() << " failed";
  for (std::size_t i = 0; i < failed.size(); ++i) streams.out << (i == 0 ? " (entry " : ", ") << failed[i];
  streams.out << (failed.empty() ? "\n" : ")\n");
  return failed.empty() ? kSuccess : kFailure;
}

}  // namespace quarvel::cli
