#include "app/cli_options.h"

#include <cstdio>

#include "app/cli_io.h"
#include "common/md5.h"

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

}  // namespace

Command AddChecksum(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("checksum", "Print the checksum a ROM image stores and the one it should");
  command->footer(
      "Example:\n"
      "  quarvel-cli checksum demo.bin --fix demo-fixed.bin\n"
      "The checksum is the 16-bit sum of the big-endian words from 0x200 up to the ROM end the header states at\n"
      "0x1A4 (to the image's end when that lies past it), stored at 0x18E.");
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input")->required();
  command->add_option("--fix", a.output, "Write a copy that holds the computed checksum (- for standard output)")
      ->type_name("OUT");
  return {command, [&a](const cli::Streams& s) { return cli::Checksum(a.rom, a.output, Folder(a), s); }};
}

Command AddInfo(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("info", "Say what a ROM image's header holds and which ROM it is");
  command->footer(
      "Example:\n"
      "  quarvel-cli info sonic.bin\n"
      "An image is one of the games' catalogues' ROMs exactly when its size and MD5 are that ROM's, probably\n"
      "when its serial, size and stored checksum are, and a changed one when at least 90 % of a catalogue's\n"
      "blocks still decode where it lists them.");
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input")->required();
  return {command, [&a](const cli::Streams& s) { return cli::Info(a.rom, Folder(a), s); }};
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

}  // namespace quarvel::cli
