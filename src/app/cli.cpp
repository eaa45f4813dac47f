#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <map>
#include <string>

#include "app/cli_commands.h"
#include "catalogue/rom_names.h"
#include "platform/program_directory.h"

namespace quarvel {
namespace {

const std::map<std::string, Format> kFormats{{"kosinski", Format::Kosinski}, {"nemesis", Format::Nemesis}};
const std::map<std::string, Radix> kRadixes{{"hex", Radix::Hex}, {"dec", Radix::Dec}};

void AddFormat(CLI::App& command, Format& format) {
  command.add_option("--format,-f", format, "Compression format: kosinski or nemesis")
      ->required()
      ->transform(CLI::CheckedTransformer(kFormats, CLI::ignore_case));
}

void AddOffset(CLI::App& command, cli::OffsetArg& offset) {
  command.add_option("--offset,-o", offset.text, "Offset of the block's first byte, in the radix of --radix (no 0x)")
      ->required();
  command.add_option("--radix,-r", offset.radix, "Radix of the offset: hex (default) or dec")
      ->transform(CLI::CheckedTransformer(kRadixes, CLI::ignore_case));
}

// "Catalogues: Sonic 1 (Sonic1.dat), ..."
std::string CatalogueNames() {
  std::string names = "Catalogues, by ROM name or file name:";
  for (const auto& rom : kRomCatalogues) names.append("\n  ").append(rom.listText).append(" (").append(rom.baseName).append(".dat)");
  return names;
}

void AddCatalogueFolder(CLI::App& command, std::string& folder) {
  command.add_option("--catalogue-dir", folder, "Folder of the catalogue files (default: the program's folder)");
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  CLI::App app{"Quarvel Descompressor: extracts Kosinski and Nemesis compressed blocks from Mega Drive ROM images.",
               "quarvel-cli"};
  app.set_version_flag("--version", "quarvel-cli 2.00");
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "  quarvel-cli decompress --format nemesis --offset 107184 --radix dec sonic.bin - > tiles.dat\n"
      "  quarvel-cli compress --format kosinski level.dat level.kos\n"
      "  quarvel-cli catalogue list \"Sonic 1\"\n"
      "  quarvel-cli catalogue add Sonic1 --offset 1A2B0 --format kosinski --description \"Green Hill art\"\n"
      "  quarvel-cli catalogue remove Sonic1 3\n"
      "  quarvel-cli extract --rom sonic.bin --catalogue \"Sonic 1\" --out-dir blocks\n"
      "  quarvel-cli scan sonic.bin --format nemesis\n"
      "  quarvel-cli preview --format nemesis --offset 24000 --zoom 2 sonic.bin art.png\n"
      "\n"
      "Exit status: 0 on success, 1 when the work failed, 2 when the arguments are wrong.");

  Format format = Format::Kosinski;
  cli::OffsetArg offset;
  std::string rom, output, catalogue, description, catalogueFolder = ExecutableDirectory(argc > 0 ? argv[0] : nullptr);
  int number = 0;

  CLI::App* decompress = app.add_subcommand(
      "decompress", "Decode the block at an offset of a ROM image into a file ('-' for standard output)");
  decompress->footer(
      "Example:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "The ROM image is only read. OUT is replaced whole once the block has decoded, and left as it was on failure.");
  AddFormat(*decompress, format);
  AddOffset(*decompress, offset);
  decompress->add_option("ROM", rom, "ROM image to read, or - for standard input")->required();
  decompress->add_option("OUT", output, "File to write, or - for standard output")->required();

  CLI::App* compress = app.add_subcommand("compress", "Compress a file into a Kosinski or Nemesis block ('-' for "
                                                      "standard input or output)");
  compress->footer(
      "Example:\n"
      "  quarvel-cli compress --format nemesis tiles.dat tiles.nem\n"
      "Kosinski takes 1 to 65,536 bytes; Nemesis takes whole 32-byte tiles, at most 8,192.");
  AddFormat(*compress, format);
  compress->add_option("IN", rom, "File to compress, or - for standard input")->required();
  compress->add_option("OUT", output, "File to write, or - for standard output")->required();

  CLI::App* catalogues = app.add_subcommand("catalogue", "List, add or remove the known block locations of a ROM");
  catalogues->require_subcommand(1);
  catalogues->footer(CatalogueNames());
  CLI::App* list = catalogues->add_subcommand("list", "Print the entries of a catalogue, numbered from 1");
  list->footer("Example:\n  quarvel-cli catalogue list \"Sonic 1\"");
  list->add_option("CATALOGUE", catalogue, "ROM name or catalogue file name")->required();
  AddCatalogueFolder(*list, catalogueFolder);
  CLI::App* add = catalogues->add_subcommand("add", "Add an entry at the end of a catalogue");
  add->footer("Example:\n  quarvel-cli catalogue add Sonic1 --offset 1A2B0 --format kosinski --description \"Green Hill art\"");
  add->add_option("CATALOGUE", catalogue, "ROM name or catalogue file name")->required();
  AddOffset(*add, offset);
  AddFormat(*add, format);
  add->add_option("--description,-d", description, "Free text describing the block");
  AddCatalogueFolder(*add, catalogueFolder);
  CLI::App* remove = catalogues->add_subcommand("remove", "Remove the entry with a number that 'list' shows");
  remove->footer("Example:\n  quarvel-cli catalogue remove Sonic1 3");
  remove->add_option("CATALOGUE", catalogue, "ROM name or catalogue file name")->required();
  remove->add_option("NUMBER", number, "Number of the entry, from 1")->required();
  AddCatalogueFolder(*remove, catalogueFolder);

  cli::PreviewArgs look;
  CLI::App* preview = app.add_subcommand("preview", "Draw the block at an offset as 8x8 tiles into a PNG picture");
  preview->footer(
      "Example:\n"
      "  quarvel-cli preview --format nemesis --offset 24000 --palette sonic.pal --zoom 2 sonic.bin art.png\n"
      "The palette file holds 16 Mega Drive colours (big-endian words 0000 BBB0 GGG0 RRR0); without it the\n"
      "pixels are shades of grey. Kosinski data is drawn as tiles too.");
  AddFormat(*preview, format);
  AddOffset(*preview, offset);
  preview->add_option("--palette,-p", look.palette, "Mega Drive palette file (default: a grey ramp)");
  preview->add_option("--columns,-c", look.columns, "Tiles a row (default 16)")->check(CLI::Range(1, 256));
  preview->add_option("--zoom,-z", look.zoom, "Pixels a tile pixel takes across and down, 1 to 8 (default 1)")
      ->check(CLI::Range(1, 8));
  preview->add_option("ROM", rom, "ROM image to read")->required();
  preview->add_option("OUT", output, "PNG file to write, or - for standard output")->required();

  cli::ScanFormats scanFormats = cli::ScanFormats::Both;
  bool json = false;
  const std::map<std::string, cli::ScanFormats> scanChoices{
      {"kosinski", cli::ScanFormats::Kosinski}, {"nemesis", cli::ScanFormats::Nemesis}, {"both", cli::ScanFormats::Both}};
  CLI::App* scan = app.add_subcommand("scan", "List the offsets where plausible compressed blocks start");
  scan->footer(
      "Example:\n"
      "  quarvel-cli scan sonic.bin --format nemesis --json\n"
      "Every offset is tried. A Kosinski block must reach its end marker with no copy from before its start\n"
      "and decode to 32 bytes or more; a Nemesis block must have a well-formed code table and decode every\n"
      "tile through codes it defines. Of overlapping candidates the stronger is listed.");
  scan->add_option("ROM", rom, "ROM image to scan")->required();
  scan->add_option("--format,-f", scanFormats, "kosinski, nemesis or both (default)")
      ->transform(CLI::CheckedTransformer(scanChoices, CLI::ignore_case));
  scan->add_flag("--json", json, "Print the candidates as JSON");

  CLI::App* extract = app.add_subcommand("extract", "Decode every block that a catalogue lists, each into its own file");
  extract->footer("Example:\n  quarvel-cli extract --rom sonic.bin --catalogue \"Sonic 1\" --out-dir blocks");
  extract->add_option("--rom", rom, "ROM image to read")->required();
  extract->add_option("--catalogue", catalogue, "ROM name or catalogue file name")->required();
  extract->add_option("--out-dir", output, "Folder for the decoded files (made when missing)")->required();
  AddCatalogueFolder(*extract, catalogueFolder);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? cli::kSuccess : cli::kUsage;
  }

  const cli::Streams streams{out, err, errIsTerminal};
  const std::filesystem::path folder(catalogueFolder);
  if (*decompress) return cli::Decompress(format, offset, rom, output, folder, streams);
  if (*compress) return cli::Compress(format, rom, output, folder, streams);
  if (*scan) return cli::Scan(rom, scanFormats, json, streams);
  if (*preview) return cli::Preview(format, offset, rom, look, output, folder, streams);
  if (*list) return cli::CatalogueList(folder, catalogue, streams);
  if (*add) return cli::CatalogueAdd(folder, catalogue, offset, format, description, streams);
  if (*remove) return cli::CatalogueRemove(folder, catalogue, number, streams);
  return cli::Extract(folder, catalogue, rom, output, streams);
}

}  // namespace quarvel
