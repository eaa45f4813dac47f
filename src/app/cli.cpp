#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <string>

#include "app/cli_commands.h"
#include "catalogue/rom_names.h"
#include "files/files.h"
#include "platform/program_directory.h"

namespace quarvel {
namespace {

// What the commands' options are parsed into.
struct Arguments {
  Format format = Format::Kosinski;
  cli::OffsetArg offset;
  std::string rom, output, catalogue, description, catalogueFolder;
  int number = 0;
  cli::PreviewArgs look;
  std::string scanFormat = "both";
  bool json = false;
};

std::filesystem::path Folder(const Arguments& a) { return PathFromUtf8(a.catalogueFolder); }

// A command: its options, parsed into Arguments, and the work that runs when it is chosen.
struct Command {
  CLI::App* options;
  std::function<int(const cli::Streams&)> work;
};

// "kosinski or nemesis"
std::string FormatNames(std::string_view last) {
  std::string names;
  const auto formats = Formats();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (i > 0) names += i + 1 == formats.size() ? std::string(" ").append(last).append(" ") : ", ";
    names += formats[i].name;
  }
  return names;
}

void AddFormat(CLI::App& command, Format& format) {
  std::map<std::string, Format> choices;
  for (const auto& info : Formats()) choices.emplace(info.name, info.format);
  command.add_option("--format,-f", format, "Compression format: " + FormatNames("or"))
      ->required()
      ->transform(CLI::CheckedTransformer(choices, CLI::ignore_case));
}

void AddOffset(CLI::App& command, cli::OffsetArg& offset) {
  const std::map<std::string, Radix> radixes{{"hex", Radix::Hex}, {"dec", Radix::Dec}};
  command.add_option("--offset,-o", offset.text, "Offset of the block's first byte, in the radix of --radix (no 0x)")
      ->required();
  command.add_option("--radix,-r", offset.radix, "Radix of the offset: hex (default) or dec")
      ->transform(CLI::CheckedTransformer(radixes, CLI::ignore_case));
}

void AddCatalogueFolder(CLI::App& command, std::string& folder) {
  command.add_option("--catalogue-dir", folder, "Folder of the catalogue files (default: the program's folder)");
}

// "Catalogues, by ROM name or file name: Sonic 1 (Sonic1.dat), ..."
std::string CatalogueNames() {
  std::string names = "Catalogues, by ROM name or file name:";
  for (const auto& rom : kRomCatalogues) names.append("\n  ").append(rom.listText).append(" (").append(rom.baseName).append(".dat)");
  return names;
}

Command AddDecompress(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "decompress", "Decode the block at an offset of a ROM image into a file ('-' for standard output)");
  command->footer(
      "Example:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "The ROM image is only read. OUT is replaced whole once the block has decoded, and left as it was on failure.");
  AddFormat(*command, a.format);
  AddOffset(*command, a.offset);
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input")->required();
  command->add_option("OUT", a.output, "File to write, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
            return cli::Decompress(a.format, a.offset, a.rom, a.output, Folder(a), s);
          }};
}

Command AddCompress(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "compress", "Compress a file into a block of a format ('-' for standard input or output)");
  std::string limits;
  for (const auto& info : Formats()) limits.append(limits.empty() ? "" : "; ").append(info.title).append(" takes at most ").append(info.largestText);
  command->footer("Example:\n  quarvel-cli compress --format nemesis tiles.dat tiles.nem\n" + limits + ".");
  AddFormat(*command, a.format);
  command->add_option("IN", a.rom, "File to compress, or - for standard input")->required();
  command->add_option("OUT", a.output, "File to write, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
            return cli::Compress(a.format, a.rom, a.output, Folder(a), s);
          }};
}

Command AddCatalogue(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("catalogue", "List, add or remove the known block locations of a ROM");
  command->require_subcommand(1);
  command->footer(CatalogueNames());
  CLI::App* list = command->add_subcommand("list", "Print the entries of a catalogue, numbered from 1");
  list->footer("Example:\n  quarvel-cli catalogue list \"Sonic 1\"");
  list->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  AddCatalogueFolder(*list, a.catalogueFolder);
  CLI::App* add = command->add_subcommand("add", "Add an entry at the end of a catalogue");
  add->footer("Example:\n  quarvel-cli catalogue add Sonic1 --offset 1A2B0 --format kosinski --description \"Green Hill art\"");
  add->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  AddOffset(*add, a.offset);
  AddFormat(*add, a.format);
  add->add_option("--description,-d", a.description, "Free text describing the block");
  AddCatalogueFolder(*add, a.catalogueFolder);
  CLI::App* remove = command->add_subcommand("remove", "Remove the entry with a number that 'list' shows");
  remove->footer("Example:\n  quarvel-cli catalogue remove Sonic1 3");
  remove->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  remove->add_option("NUMBER", a.number, "Number of the entry, from 1")->required();
  AddCatalogueFolder(*remove, a.catalogueFolder);
  return {command, [&a, list, add](const cli::Streams& s) {
    if (*list) return cli::CatalogueList(Folder(a), a.catalogue, s);
    if (*add) return cli::CatalogueAdd(Folder(a), a.catalogue, a.offset, a.format, a.description, s);
    return cli::CatalogueRemove(Folder(a), a.catalogue, a.number, s);
  }};
}

Command AddPreview(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("preview", "Draw the block at an offset as 8x8 tiles into a PNG picture");
  command->footer(
      "Example:\n"
      "  quarvel-cli preview --format nemesis --offset 24000 --palette sonic.pal --zoom 2 sonic.bin art.png\n"
      "The palette file holds 16 Mega Drive colours (big-endian words 0000 BBB0 GGG0 RRR0); without it the\n"
      "pixels are shades of grey. Data of every format is drawn as tiles.");
  AddFormat(*command, a.format);
  AddOffset(*command, a.offset);
  command->add_option("--palette,-p", a.look.palette, "Mega Drive palette file (default: a grey ramp)");
  command->add_option("--columns,-c", a.look.columns, "Tiles a row (default 16)")->check(CLI::Range(1, 256));
  command->add_option("--zoom,-z", a.look.zoom, "Pixels a tile pixel takes across and down, 1 to 8 (default 1)")
      ->check(CLI::Range(1, 8));
  command->add_option("ROM", a.rom, "ROM image to read")->required();
  command->add_option("OUT", a.output, "PNG file to write, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
    return cli::Preview(a.format, a.offset, a.rom, a.look, a.output, Folder(a), s);
  }};
}

Command AddScan(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("scan", "List the offsets where plausible compressed blocks start");
  command->footer(
      "Example:\n"
      "  quarvel-cli scan sonic.bin --format nemesis --json\n"
      "Every offset is tried. A Kosinski block must reach its end marker with no copy from before its start\n"
      "and decode to 32 bytes or more; a Nemesis block must have a well-formed code table and decode every\n"
      "tile through codes it defines. Of overlapping candidates the stronger is listed.");
  command->add_option("ROM", a.rom, "ROM image to scan")->required();
  std::vector<std::string> choices{"both"};
  for (const auto& info : Formats()) choices.emplace_back(info.name);
  command->add_option("--format,-f", a.scanFormat, FormatNames("or") + ", or both (default)")
      ->transform(CLI::IsMember(choices, CLI::ignore_case));
  command->add_flag("--json", a.json, "Print the candidates as JSON");
  return {command, [&a](const cli::Streams& s) {
    const FormatInfo* only = FormatNamed(a.scanFormat);
    return cli::Scan(a.rom, only != nullptr ? FormatSet{only->format} : FormatSet::All(), a.json, s);
  }};
}

Command AddExtract(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("extract", "Decode every block that a catalogue lists, each into its own file");
  command->footer("Example:\n  quarvel-cli extract --rom sonic.bin --catalogue \"Sonic 1\" --out-dir blocks");
  command->add_option("--rom", a.rom, "ROM image to read")->required();
  command->add_option("--catalogue", a.catalogue, "ROM name or catalogue file name")->required();
  command->add_option("--out-dir", a.output, "Folder for the decoded files (made when missing)")->required();
  AddCatalogueFolder(*command, a.catalogueFolder);
  return {command, [&a](const cli::Streams& s) {
            return cli::Extract(Folder(a), a.catalogue, a.rom, a.output, s);
          }};
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

  Arguments arguments;
  arguments.catalogueFolder = PathToUtf8(ExecutableDirectory(argc > 0 ? argv[0] : nullptr));
  const Command commands[] = {AddDecompress(app, arguments), AddCompress(app, arguments),
                              AddCatalogue(app, arguments),  AddExtract(app, arguments),
                              AddScan(app, arguments),       AddPreview(app, arguments)};
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? cli::kSuccess : cli::kUsage;
  }
  const cli::Streams streams{out, err, errIsTerminal};
  for (const auto& command : commands)
    if (*command.options) return command.work(streams);
  return cli::kUsage;
}

}  // namespace quarvel
