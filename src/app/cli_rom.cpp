#include "app/cli_options.h"

#include <cstdio>

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "common/md5.h"
#include "report/report_json.h"

namespace quarvel::cli {

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

// The checksum as JSON: {"stored", "computed", "correct", "from", "to"}, the last byte
// summed in "to" (null with none).
Json ChecksumJson(std::span<const std::uint8_t> rom, std::uint16_t stored) {
  const std::uint16_t computed = ComputeChecksum(rom);
  const std::size_t end = ChecksumEnd(rom);
  return {{"stored", stored}, {"computed", computed}, {"correct", stored == computed}, {"from", kChecksumFrom},
          {"to", end > kChecksumFrom ? Json(end - 1) : Json()}};
}

}  // namespace

Command AddChecksum(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("checksum", "Print the checksum a ROM image stores and the one it should");
  command->footer(
      "Example:\n"
      "  quarvel-cli checksum demo.bin --fix demo-fixed.bin\n"
      "The checksum is the 16-bit sum of the big-endian words from 0x200 up to the ROM end the header states at\n"
      "0x1A4 (to the image's end when that lies past it), stored at 0x18E.");
  AddInputs(*command, a.batch, "ROM", "ROM images to read");
  command->add_option("--fix", a.output, "Write a copy that holds the computed checksum (- for standard output)")
      ->type_name("OUT");
  AddJson(*command, a.json, R"({"format_version": 1, "rom", "stored", "computed", "correct", "from", "to", "fixed"})");
  return {command, [&a](const cli::Streams& s) {
            const auto inputs = InputsOf(a.batch.operands, a.batch.recursive);
            if (!a.output.empty() && (inputs.size() != 1 || !inputs.front().problem.empty()))
              return s.Error("--fix takes one ROM image", kUsage);
            const BatchReport report{.titled = true, .jsonToErr = a.output == "-"};
            const CatalogueLocation catalogues = Folder(a);
            return ForEachInput(inputs, a.batch.jobs, report, WithJson(s, a.json), [&](const std::string& rom, const Streams& one) {
              return cli::Checksum(rom, a.output, catalogues, one);
            });
          }};
}

Command AddInfo(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("info", "Say what a ROM image's header holds and which ROM it is");
  command->footer(
      "Example:\n"
      "  quarvel-cli info sonic.bin\n"
      "An image is one of the games' catalogues' ROMs exactly when its size and MD5 are that ROM's, probably\n"
      "when its serial, size and stored checksum are, and a changed one when at least 90 % of a catalogue's\n"
      "blocks still decode where it lists them.");
  AddInputs(*command, a.batch, "ROM", "ROM images to read");
  AddJson(*command, a.json,
          R"({"format_version": 1, "rom", "header": {...} or null, "size", "md5", "interleaved", "catalogue": {...} or null})");
  return {command, [&a](const cli::Streams& s) {
            const CatalogueLocation catalogues = Folder(a);
            return ForEachInput(InputsOf(a.batch.operands, a.batch.recursive), a.batch.jobs, {.titled = true},
                                WithJson(s, a.json),
                                [&](const std::string& rom, const Streams& one) { return cli::Info(rom, catalogues, one); });
          }};
}

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
  Json json = JsonObject(1);
  json["rom"] = romArg;
  json.update(ChecksumJson(*rom, *stored));
  json["fixed"] = fixedOut.empty() ? Json() : Json(fixedOut);
  const std::string line = streams.jsonOut ? "" : ChecksumLine(*rom, *stored, false) + "\n";
  if (fixedOut.empty()) {
    streams.out << line;
    streams.JsonReport(json);
    return right ? kSuccess : kFailure;
  }
  std::ostream& report = streams.Report(fixedOut == "-" ? streams.err : streams.out);
  report << line;
  FixChecksum(*rom);
  const int written = Write(*rom, fixedOut, protect, streams);
  if (written != kSuccess) return written;
  if (!streams.jsonOut) SayPlainWritten(layout, report);
  streams.JsonReport(json);
  return kSuccess;
}

int Info(const std::string& romArg, const CatalogueLocation& catalogues, const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  RomLayout layout = RomLayout::Plain;
  const auto rom = ReadRom(romArg, protect, streams, &layout);
  if (!rom) return rom.error();
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  const auto header = ReadRomHeader(*rom);
  if (!header) return streams.Error("'" + romArg + "' is too small to hold a Mega Drive header", kFailure);
  const RomIdentity identity = IdentifyRom(*rom);
  if (streams.jsonOut) {
    Json json = JsonObject(1);
    json["rom"] = romArg;
    json.update(RomInfoJson(*rom, layout));
    streams.JsonReport(json);
    return kSuccess;
  }
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

}  // namespace quarvel::cli
