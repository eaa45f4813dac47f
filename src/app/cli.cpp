#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "app/cli_commands.h"
#include "catalogue/rom_names.h"
#include "files/files.h"
#include "platform/program_directory.h"

namespace quarvel {
namespace {

// What the commands' options are parsed into.
struct Arguments {
  std::string formatName;
  cli::OffsetArg offset;
  std::string rom, output, catalogue, description, catalogueFolder;
  const char* argv0 = nullptr;
  int number = 0;
  cli::PreviewArgs look;
  std::string base;  // an Enigma block's base word, hexadecimal
  std::string data, fill;
  std::string romOption, outDirOption;  // extract's --rom and --out-dir, the same as its operands
  cli::ImportArgs importing;
  cli::InsertArgs insert;
  std::string scanFormat = "all";  // "both" means the same, as it did when there were two
  cli::ScanArgs scan;
  std::string accurateGame;  // empty: the smallest block
  std::string headerSize;    // a Kosinski Moduled header's size, 0x... or decimal
  std::string streamSize;    // a Saxman stream's size, when it has no header
  bool noSizeHeader = false;  // a Saxman stream alone, without its count

  Format format() const { return FormatNamed(formatName)->format; }
  // Nothing for "auto".
  std::optional<Format> formatOrAuto() const {
    const FormatInfo* info = FormatNamed(formatName);
    return info ? std::optional(info->format) : std::nullopt;
  }
};

// Where the catalogues are: --catalogue-dir, else beside the program or in the user's data folder.
CatalogueLocation Folder(const Arguments& a) {
  if (!a.catalogueFolder.empty()) return {PathFromUtf8(a.catalogueFolder), std::nullopt, false, {}};
  return LocateCatalogues(ExecutableDirectory(a.argv0), UserDataDirectory());
}

// A command: its options, parsed into Arguments, and the work that runs when it is chosen.
struct Command {
  CLI::App* options;
  std::function<int(const cli::Streams&)> work;
};

// "kosinski or nemesis"
std::string FormatNames() {
  std::string names;
  const auto formats = Formats();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (i > 0) names += i + 1 == formats.size() ? " or " : ", ";
    names += formats[i].name;
  }
  return names;
}

// "kos, nem, eni, kosm, sax"
std::string ShortNames() {
  std::string names;
  for (const auto& info : Formats()) names.append(names.empty() ? "" : ", ").append(info.shortName);
  return names;
}

// "kosinski|nemesis"
std::string Joined(const std::vector<std::string>& words) {
  std::string list;
  for (const auto& word : words) list.append(list.empty() ? "" : "|").append(word);
  return list;
}

// A choice among words: the value as its word is written, or an error that lists them.
CLI::Validator OneOf(std::vector<std::string> words) {
  const std::string list = Joined(words);
  return CLI::Validator(
      [words, list](std::string& value) {
        for (const auto& word : words) {
          if (std::equal(value.begin(), value.end(), word.begin(), word.end(),
                         [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
            value = word;
            return std::string();
          }
        }
        return "'" + value + "' is not one of " + list;
      },
      "");
}

// A hexadecimal number of at most `digits` digits, 0x in front or not: a word or a byte.
CLI::Validator HexWord(std::size_t digits = 4) {
  return CLI::Validator(
      [digits](std::string& value) {
        if (value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0) value.erase(0, 2);
        const bool hex = !value.empty() && value.size() <= digits &&
                         std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
        if (hex) return std::string();
        return "'" + value + (digits == 2 ? "' is not a hexadecimal byte (0 to FF)" : "' is not a hexadecimal word (0 to FFFF)");
      },
      "");
}

std::vector<std::string> FormatWords() {
  std::vector<std::string> words;
  for (const auto& info : Formats()) words.emplace_back(info.name);
  return words;
}

// A format's name, long or short, as its long name; or one of `more` ("auto", "all").
CLI::Validator FormatWord(std::vector<std::string> formats, std::vector<std::string> more = {}) {
  std::vector<std::string> words = formats;
  words.insert(words.end(), more.begin(), more.end());
  const CLI::Validator others = OneOf(words);
  return CLI::Validator(
      [formats, others](std::string& value) {
        const FormatInfo* info = FormatNamed(value);
        if (info && std::find(formats.begin(), formats.end(), info->name) != formats.end()) {
          value = std::string(info->name);
          return std::string();
        }
        const std::string problem = others(value);
        return problem.empty() ? problem : problem + " (or " + ShortNames() + ")";
      },
      "");
}

// --format, required; with `automatic`, "auto" too (decompress and preview).
void AddFormat(CLI::App& command, std::string& format, bool automatic = false) {
  std::vector<std::string> more;
  if (automatic) more.emplace_back("auto");
  std::vector<std::string> shown = FormatWords();
  shown.insert(shown.end(), more.begin(), more.end());
  CLI::Option* option =
      command.add_option("--format,-f", format,
                         "Compression format: " + FormatNames() + " (" + ShortNames() + ")" +
                             (automatic ? ", or auto: the one the scan rates highest there" : ""))
          ->type_name(Joined(shown))
          ->transform(FormatWord(FormatWords(), more));
  option->required();
}

// --offset, required; or, when `standAlone`, 0 by default (a file that is one block).
void AddOffset(CLI::App& command, cli::OffsetArg& offset, bool standAlone = false) {
  CLI::Option* option =
      command.add_option("--offset,-o", offset.text,
                         std::string("Offset of the block's first byte, in the radix of --radix; after 0x or '$', "
                                     "hexadecimal") + (standAlone ? " (default 0: a file that is one block)" : ""))
          ->type_name("OFFSET");
  if (standAlone)
    offset.text = "0";
  else
    option->required();
  command
      .add_option_function<std::string>(
          "--radix,-r", [&offset](const std::string& radix) { offset.radix = radix == "dec" ? Radix::Dec : Radix::Hex; },
          "Radix of the offset: hex (default) or dec")
      ->type_name("hex|dec")
      ->transform(OneOf({"hex", "dec"}));
}

void AddCatalogueFolder(CLI::App& command, std::string& folder) {
  command.add_option("--catalogue-dir", folder,
                     "Folder of the catalogue files (default: the one 'quarvel-cli catalogue where' prints)")
      ->type_name("DIR");
}

// "Catalogues, by ROM name or file name: Sonic 1 (Sonic1.dat), ..."
std::string CatalogueNames() {
  std::string names = "Catalogues, by ROM name or file name:";
  for (const auto& rom : kRomCatalogues) names.append("\n  ").append(rom.listText).append(" (").append(rom.baseName).append(".dat)");
  return names;
}

// A number written 0x... (hexadecimal) or in decimal digits, or nothing when it is not one.
std::optional<unsigned long> NumberIn(const std::string& value) {
  const bool hex = value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0;
  const std::string digits = hex ? value.substr(2) : value;
  const bool valid = !digits.empty() && digits.size() <= 8 &&
                     std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) {
                       return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
                     });
  if (!valid) return std::nullopt;
  return std::stoul(digits, nullptr, hex ? 16 : 10);
}

// A number of `low` to `high` (0x... or decimal); `what` says what it is, for the error.
CLI::Validator Number(unsigned long low, unsigned long high, const std::string& what) {
  return CLI::Validator(
      [low, high, what](std::string& value) {
        const auto number = NumberIn(value);
        if (number && *number >= low && *number <= high) return std::string();
        return "'" + value + "' is not " + what + " (0x... or decimal)";
      },
      "");
}

// A size of 1 to 65,535 bytes, written 0x... (hexadecimal) or in decimal.
CLI::Validator Size() { return Number(1, 0xFFFF, "a size of 1 to 65,535 bytes"); }

Command AddDecompress(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "decompress", "Decode the block at an offset of a ROM image into a file ('-' for standard output)");
  command->footer(
      "Example:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "The ROM image is only read. OUT is replaced whole once the block has decoded, and left as it was on failure.");
  AddFormat(*command, a.formatName, true);
  AddOffset(*command, a.offset, true);
  command->add_option("--base", a.base,
                      "Enigma: a word to add to every word decoded, as the games add the first tile of the art "
                      "(hexadecimal, default 0)")
      ->type_name("WORD")
      ->check(HexWord());
  command->add_option("--stream-size", a.streamSize,
                      "Saxman: a stream without its size header, of SIZE bytes (Sonic 2's sound driver: 0xF63 bytes "
                      "at 0xEC0E8)")
      ->type_name("SIZE")
      ->check(Size());
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input")->required();
  command->add_option("OUT", a.output, "File to write, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
            if (!a.base.empty() && a.formatOrAuto() != Format::Enigma)
              return s.Error("--base applies to Enigma blocks only (name --format enigma)", cli::kUsage);
            if (!a.streamSize.empty() && a.formatOrAuto() != Format::Saxman)
              return s.Error("--stream-size applies to Saxman streams only (name --format saxman)", cli::kUsage);
            const auto base = static_cast<std::uint16_t>(a.base.empty() ? 0 : std::stoul(a.base, nullptr, 16));
            std::optional<std::uint16_t> streamSize;
            if (!a.streamSize.empty()) streamSize = static_cast<std::uint16_t>(*NumberIn(a.streamSize));
            return cli::Decompress(a.formatOrAuto(), a.offset, {base, streamSize}, a.rom, a.output, Folder(a), s);
          }};
}

// The games whose compressors wrote differently, and the Nemesis form of each.
constexpr std::pair<std::string_view, bool> kGames[] = {{"s1", false}, {"s2", false}, {"s3", true}, {"sk", true}, {"s3k", true}};

Command AddCompress(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "compress", "Compress a file into a block of a format ('-' for standard input or output)");
  std::string limits;
  for (const auto& info : Formats()) limits.append(limits.empty() ? "" : "; ").append(info.title).append(" takes at most ").append(info.largestText);
  command->footer(
      "Examples:\n"
      "  quarvel-cli compress --format nemesis tiles.dat tiles.nem\n"
      "  quarvel-cli compress --format nemesis --accurate=s3k tiles.dat tiles.nem\n"
      "Two modes. Without --accurate, the smallest block the tool finds: for hacks, where every byte of room\n"
      "counts. With --accurate, the very bytes the games' own compressor wrote for the same data (usually a\n"
      "little larger): for rebuilding a game from its disassembly byte for byte. GAME is s1 or s2 (the default),\n"
      "or s3, sk or s3k, whose Nemesis blocks are padded to an even length; the other formats are the same in\n"
      "every game. A Saxman block is a song, its stream's size then the stream; --no-size-header writes the\n"
      "stream alone, as Sonic 2 keeps its sound driver.\n" + limits + "."),
  AddFormat(*command, a.formatName);
  std::vector<std::string> games;
  for (const auto& [game, even] : kGames) games.emplace_back(game);
  command->add_flag("--accurate", a.accurateGame, "Write the games' own compressor's bytes, as GAME's files hold them")
      ->type_name("[=GAME]")
      ->transform(OneOf(games))  // runs after the next one: a later transform runs first
      ->transform(CLI::Validator(
          [](std::string& game) { return game == "true" ? (game = "s1", std::string()) : std::string(); }, ""));
  command->add_option("--header-size", a.headerSize,
                      "Kosinski Moduled, with --accurate: the size the block's header states, when not the data's")
      ->type_name("SIZE")
      ->check(Size());
  command->add_flag("--no-size-header", a.noSizeHeader, "Saxman: write the stream without its size header");
  command->add_option("IN", a.rom, "File to compress, or - for standard input")->required();
  command->add_option("OUT", a.output, "File to write, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
            if (!a.headerSize.empty() && (a.accurateGame.empty() || a.format() != Format::KosinskiModuled))
              return s.Error("--header-size goes with --accurate and the Kosinski Moduled format", cli::kUsage);
            if (a.noSizeHeader && a.format() != Format::Saxman)
              return s.Error("--no-size-header applies to Saxman streams only (name --format saxman)", cli::kUsage);
            std::optional<AccurateOptions> accurate;
            if (!a.accurateGame.empty()) {
              accurate.emplace();
              for (const auto& [game, even] : kGames) accurate->evenLength |= game == a.accurateGame && even;
              if (!a.headerSize.empty()) accurate->headerSize = static_cast<std::uint16_t>(*NumberIn(a.headerSize));
            }
            return cli::Compress(a.format(), a.rom, a.output, accurate, a.noSizeHeader, Folder(a), s);
          }};
}

Command AddCheckAccurate(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "check-accurate", "Say whether a block is what the games' own compressor writes for what it decodes to");
  command->footer(
      "Example:\n"
      "  quarvel-cli check-accurate --format nemesis artnem/Rings.nem\n"
      "The file is decoded and its data compressed again as the games' compressor did (a Nemesis block in the\n"
      "Sonic 1 and 2 form and in the Sonic 3 & Knuckles form, a Kosinski Moduled block with its header's size;\n"
      "with --no-size-header, a Saxman stream without its size header, as a disassembly keeps the sound driver).\n"
      "Exit status 0 when the file is identical: a disassembly may keep its data decompressed and still build\n"
      "the game byte for byte; 1 when it differs (the first byte that does is named) or does not decode.");
  AddFormat(*command, a.formatName);
  command->add_flag("--no-size-header", a.noSizeHeader, "Saxman: the file is a stream without its size header");
  command->add_option("FILE", a.rom, "The compressed block, the whole file, or - for standard input")->required();
  return {command, [&a](const cli::Streams& s) {
    if (a.noSizeHeader && a.format() != Format::Saxman)
      return s.Error("--no-size-header applies to Saxman streams only (name --format saxman)", cli::kUsage);
    return cli::CheckAccurate(a.format(), a.rom, a.noSizeHeader, Folder(a), s);
  }};
}

Command AddCatalogue(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("catalogue", "List, add or remove the known block locations of a ROM");
  command->require_subcommand(1);
  command->footer(CatalogueNames() + "\nThe catalogue files are in the folder that 'quarvel-cli catalogue where' prints.");
  CLI::App* list = command->add_subcommand("list", "Print the entries of a catalogue, numbered from 1");
  list->footer("Example:\n  quarvel-cli catalogue list \"Sonic 1\"");
  list->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  list->add_flag("--json", a.scan.json,
                 "Print one JSON object: {\"format_version\": 1, \"catalogue\", \"file\", \"entries\": [...]}");
  AddCatalogueFolder(*list, a.catalogueFolder);
  CLI::App* add = command->add_subcommand("add", "Add an entry at the end of a catalogue");
  add->footer("Example:\n  quarvel-cli catalogue add Sonic1 -o 1A2B0 -f kos -d \"Green Hill art\"");
  add->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  AddOffset(*add, a.offset);
  AddFormat(*add, a.formatName);
  add->add_option("--description,-d", a.description, "Free text describing the block")->type_name("TEXT");
  AddCatalogueFolder(*add, a.catalogueFolder);
  CLI::App* remove = command->add_subcommand("remove", "Remove the entry with a number that 'list' shows");
  remove->footer("Example:\n  quarvel-cli catalogue remove Sonic1 3");
  remove->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  remove->add_option("NUMBER", a.number, "Number of the entry, from 1")->required();
  AddCatalogueFolder(*remove, a.catalogueFolder);
  CLI::App* where = command->add_subcommand("where", "Print the folder of the catalogue files");
  where->footer(
      "The program's folder when you may write it; for an installed program, your own data folder\n"
      "($XDG_DATA_HOME/quarvel, by default ~/.local/share/quarvel), where the catalogues shipped with the\n"
      "program are copied by your first change.");
  AddCatalogueFolder(*where, a.catalogueFolder);
  return {command, [&a, list, add, where](const cli::Streams& s) {
    if (*where) return cli::CatalogueWhere(Folder(a), s);
    if (*list) return cli::CatalogueList(Folder(a), a.catalogue, a.scan.json, s);
    if (*add) return cli::CatalogueAdd(Folder(a), a.catalogue, a.offset, a.format(), a.description, s);
    return cli::CatalogueRemove(Folder(a), a.catalogue, a.number, s);
  }};
}

Command AddPreview(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("preview", "Draw the block at an offset as 8x8 tiles into a PNG picture");
  command->footer(
      "Example:\n"
      "  quarvel-cli preview -f nem -o 24000 -p sonic.pal --zoom 2 sonic.bin art.png\n"
      "  quarvel-cli preview -f eni -o 3C000 --tiles 0x24000 --tiles-format nem \\\n"
      "      --columns 40 --palette sonic.pal sonic.bin titlecard.png\n"
      "The palette file holds 16 Mega Drive colours (big-endian words 0000 BBB0 GGG0 RRR0), or up to four lines\n"
      "of 16; without it the pixels are shades of grey. Data is drawn as tiles, in the palette's first line; the\n"
      "picture keeps its layout (format, tiles, tiles a row, zoom, line, source) in a text chunk, by which\n"
      "import-png reads it back as the same tiles. An Enigma block is a plane map,\n"
      "--columns words a row, drawn with its --tiles (flips and palette lines applied), or written out as text,\n"
      "one hexadecimal word each, without them. A map's words index video memory: when they start beyond its\n"
      "tiles, the tiles are taken to start at the smallest index rounded down to 0x20, as standard error says.");
  AddFormat(*command, a.formatName, true);
  AddOffset(*command, a.offset, true);
  command->add_option("--palette,-p", a.look.palette, "Mega Drive palette file (default: a grey ramp)")->type_name("FILE");
  command->add_option("--columns,-c", a.look.columns, "Tiles a row (default 16)")->check(CLI::Range(1, 256));
  command->add_option("--zoom,-z", a.look.zoom, "Pixels a tile pixel takes across and down, 1 to 8 (default 1)")
      ->check(CLI::Range(1, 8));
  command->add_option("--tiles", a.look.tiles,
                      "Enigma: the tiles to draw the map with, a block of the ROM at an offset written 0x..., or a file")
      ->type_name("0xOFFSET|FILE");
  std::vector<std::string> tileFormats;
  for (const auto& info : Formats())
    if (info.format != Format::Enigma) tileFormats.emplace_back(info.name);
  command->add_option("--tiles-format", a.look.tilesFormat,
                      "The format of those tiles (a file without it is taken as it is)")
      ->type_name(Joined(tileFormats))
      ->transform(FormatWord(tileFormats));
  command
      ->add_option_function<std::string>(
          "--first-tile", [&a](const std::string& tile) { a.look.firstTile = static_cast<unsigned>(*NumberIn(tile)); },
          "The tile of video memory where those tiles start, that a map word's index counts from, 0 to 0x7FF "
          "(default: 0, or as said below)")
      ->type_name("TILE")
      ->check(Number(0, 0x7FF, "a tile of video memory, 0 to 0x7FF"));
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input")->required();
  command->add_option("OUT", a.output, "PNG file to write, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
    return cli::Preview(a.formatOrAuto(), a.offset, a.rom, a.look, a.output, Folder(a), s);
  }};
}

Command AddScan(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("scan", "List the offsets where plausible compressed blocks start");
  command->footer(
      "Example:\n"
      "  quarvel-cli scan sonic.bin --format nemesis --json\n"
      "Every offset is tried. A Kosinski block must reach its end marker with no copy from before its start\n"
      "and decode to 32 bytes or more; a Nemesis block must have a well-formed code table and decode every\n"
      "tile through codes it defines; a Kosinski Moduled block, modules of 4096 bytes that are Kosinski blocks;\n"
      "an Enigma block, a plausible header and entries as an encoder writes them up to its end entry; a Saxman\n"
      "song, a size and a stream of it with no command an encoder would not write. A block that is the games'\n"
      "own output weighs 1; any other but a song is listed under 0.5 at an odd offset, where the games never\n"
      "put one, and so is a Kosinski or Enigma block of fewer than 128 bytes. Of overlapping\n"
      "candidates the games' own output is listed, else one of confidence 0.5 or more, else the first.");
  command->add_option("ROM", a.rom, "ROM image to scan, or - for standard input")->required();
  std::vector<std::string> choices = FormatWords();
  choices.emplace_back("all");
  command->add_option("--format,-f", a.scanFormat, FormatNames() + " (" + ShortNames() + "), or all (default)")
      ->type_name(Joined(choices))
      ->transform(FormatWord(FormatWords(), {"all", "both"}));
  command->add_flag("--json", a.scan.json,
                    "Print one JSON object: {\"format_version\": 1, \"rom\", \"size\", \"blocks\": [...]}");
  command->add_option("--add-to", a.scan.addTo,
                      "Add the blocks found to this catalogue (ROM name or file name), but for those it lists")
      ->type_name("CATALOGUE");
  command->add_option("--min-confidence", a.scan.minConfidence, "The least confidence of a block to add (default 0.5)")
      ->check(CLI::Range(0.0, 1.0));
  AddCatalogueFolder(*command, a.catalogueFolder);
  return {command, [&a](const cli::Streams& s) {
    const FormatInfo* only = FormatNamed(a.scanFormat);
    return cli::Scan(a.rom, only != nullptr ? FormatSet{only->format} : FormatSet::All(), a.scan, Folder(a), s);
  }};
}

Command AddExtract(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("extract", "Decode every block that a catalogue lists, each into its own file");
  command->footer(
      "Example:\n"
      "  quarvel-cli extract sonic.bin blocks --catalogue \"Sonic 1\"\n"
      "Without --catalogue, the catalogue of the ROM that 'quarvel-cli info' names is used, and said which.");
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input (or --rom)");
  command->add_option("OUT_DIR", a.data, "Folder for the decoded files, made when missing (or --out-dir)");
  command->add_option("--rom", a.romOption, "The same as ROM")->type_name("ROM");
  command->add_option("--out-dir", a.outDirOption, "The same as OUT_DIR")->type_name("OUT_DIR");
  command->add_option("--catalogue", a.catalogue, "ROM name or catalogue file name (default: the ROM image's own)")
      ->type_name("CATALOGUE");
  AddCatalogueFolder(*command, a.catalogueFolder);
  return {command, [&a](const cli::Streams& s) {
            using Operand = std::tuple<std::string*, const std::string*, const char*>;
            for (const auto& [operand, option, names] :
                 {Operand{&a.rom, &a.romOption, "ROM and --rom"}, Operand{&a.data, &a.outDirOption, "OUT_DIR and --out-dir"}}) {
              if (!operand->empty() && !option->empty() && *operand != *option)
                return s.Error(std::string(names) + " name two things ('" + *operand + "' and '" + *option + "'): give one",
                               cli::kUsage);
              if (operand->empty()) *operand = *option;
            }
            if (a.rom.empty() || a.data.empty())
              return s.Error(std::string("extract needs ") + (a.rom.empty() ? "a ROM image (ROM or --rom)" : "a folder (OUT_DIR or --out-dir)") +
                                 "\nRun 'quarvel-cli extract --help' for its options.",
                             cli::kUsage);
            return cli::Extract(Folder(a), a.catalogue, a.rom, a.data, s);
          }};
}

Command AddInsert(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "insert", "Write a copy of a ROM image with the block at an offset replaced by one made of a file");
  command->footer(
      "Example:\n"
      "  quarvel-cli insert -f nemesis -o 0x400 demo.bin logo.dat demo-new.bin\n"
      "The old block must decode to its end in the format, and be listed at the offset by the catalogue that\n"
      "--catalogue names or taken for a block by the scan (confidence 0.5 or more), unless --force; a block in\n"
      "the header (0x100 to 0x1FF) is never replaced. Its stream is the room the new one has. A block that fits goes\n"
      "in its place, the rest of the room filled; one that does not fit is refused, or with --append goes at the\n"
      "end of the ROM (at an even offset, the ROM grown in steps of 128 KiB, its end address at 0x1A4 set), and\n"
      "the game's pointer to it must then be changed by hand. A Nemesis block keeps the old one's count of tiles\n"
      "unless --resize. The checksum at 0x18E is fixed unless --no-checksum. The ROM image is only read: OUT is\n"
      "a new file. Both sizes, the blocks' and what they decode to, are said.");
  AddFormat(*command, a.formatName);
  AddOffset(*command, a.offset);
  command->add_option("--catalogue", a.insert.catalogue, "A catalogue that lists the old block (ROM name or file name)")
      ->type_name("CATALOGUE");
  command->add_flag("--force", a.insert.force, "Replace what is at the offset though nothing says it is a block");
  command->add_flag("--raw", a.insert.raw, "DATA is a compressed block already (it is decoded first, as a check)");
  command->add_option("--fill", a.fill, "The byte that fills the room left and a grown ROM (hexadecimal, default FF)")
      ->type_name("BYTE")
      ->check(HexWord(2));
  command->add_flag("--append", a.insert.append, "Put a block that does not fit at the end of the ROM");
  command->add_flag("--allow-large", a.insert.allowLarge, "Let --append grow the ROM past 4 MiB");
  command->add_flag("--no-checksum", a.insert.keepChecksum, "Leave the header's checksum as it is");
  command->add_flag("--resize", a.insert.resize, "Let a Nemesis block hold another count of tiles than the old one");
  command->add_option("--stream-size", a.streamSize, "Saxman: refused, as a stream without its size header has its size "
                      "in the game's code")
      ->type_name("SIZE");
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input")->required();
  command->add_option("DATA", a.data, "What the new block decodes to (with --raw, the block itself)")->required();
  AddCatalogueFolder(*command, a.catalogueFolder);
  command->add_option("OUT", a.output, "The new ROM image, or - for standard output")->required();
  return {command, [&a](const cli::Streams& s) {
            cli::InsertArgs args = a.insert;
            if (!a.fill.empty()) args.fill = static_cast<std::uint8_t>(std::stoul(a.fill, nullptr, 16));
            if (!a.streamSize.empty())
              return s.Error("cannot insert a Saxman stream without its size header: its size lives in the game's code "
                             "(Sonic 2's sound driver: the count its loader moves), which the tool does not change. "
                             "Write the stream with 'compress --no-size-header', put it in place and change that count "
                             "by hand",
                             cli::kUsage);
            return cli::Insert(a.format(), a.offset, a.rom, a.data, a.output, args, Folder(a), s);
          }};
}

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

Command AddImportPng(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("import-png", "Turn a PNG image of 8x8 tiles back into tile data");
  command->footer(
      "Example:\n"
      "  quarvel-cli import-png logo.png logo.nem --palette demo.pal --compress nemesis\n"
      "Tiles are taken in rows, as 'preview' draws them. A picture that 'preview' wrote keeps its layout (tiles,\n"
      "tiles a row, zoom, palette line), and is read by it; any other is read at the largest zoom, 1 to 8, at which\n"
      "its width and height are multiples of 8 x zoom and each zoom x zoom cell is one colour, every tile taken\n"
      "(with a warning when its last row ends in blank tiles). --zoom, --tile-count and --line win over both.\n"
      "An indexed image's colour indices are the pixel values; any other image is matched to --palette, tile by\n"
      "tile within one palette line (the first that holds all the tile's colours), exact colours only unless\n"
      "--nearest. The zoom and the count taken are said on standard error.");
  command->add_option("IMAGE", a.rom, "PNG image to read, or - for standard input")->required();
  command->add_option("OUT", a.output, "File to write, or - for standard output")->required();
  cli::ImportArgs& args = a.importing;
  command->add_option("--palette,-p", args.palette, "Mega Drive palette file the image's colours come from")->type_name("FILE");
  command->add_flag("--nearest", args.nearest,
                    "Take each colour as the palette's nearest when every channel is within 17 of it, as editors "
                    "scale the Mega Drive's levels differently (0, 36, ..., 252 or 0, 34, ..., 238)");
  command->add_option_function<unsigned>("--zoom,-z", [&args](unsigned zoom) { args.zoom = zoom; },
                                         "Pixels a tile pixel takes across and down, 1 to 8 (default: the picture's "
                                         "layout, else the largest whose cells are each one colour)")
      ->type_name("N")
      ->check(CLI::Range(1, 8));
  command->add_option_function<std::size_t>("--tile-count", [&args](std::size_t count) { args.tileCount = count; },
                                            "Take the first N tiles (default: the picture's layout, else every tile)")
      ->type_name("N")
      ->check(CLI::Range(1, 1 << 18));
  command->add_option_function<unsigned>("--line", [&args](unsigned line) { args.line = line; },
                                         "Match every tile's colours within palette line N, 0 to 3 (default: the "
                                         "picture's layout, else each tile's first line that holds its colours)")
      ->type_name("N")
      ->check(CLI::Range(0, 3));
  std::vector<std::string> formats = FormatWords();
  command->add_option("--compress", args.compressFormat, "Compress the tiles in this format")
      ->type_name(Joined(formats))
      ->transform(FormatWord(formats));
  return {command, [&a](const cli::Streams& s) { return cli::ImportPng(a.rom, a.output, a.importing, Folder(a), s); }};
}

// The number of edits that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "unknown command 'decompres'; did you mean 'decompress'?": for a word that stands
// where a command must, and is none.
std::optional<std::string> UnknownCommand(CLI::App& app, int argc, const char* const* argv) {
  CLI::App* level = &app;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.empty() || word.front() == '-') continue;
    const auto commands = level->get_subcommands([](CLI::App*) { return true; });
    if (commands.empty()) return std::nullopt;
    CLI::App* next = nullptr;
    const std::string* nearest = nullptr;
    std::size_t nearestDistance = 3;
    for (CLI::App* command : commands) {
      if (command->get_name() == word) next = command;
      const std::size_t distance = EditDistance(word, command->get_name());
      if (distance < nearestDistance) nearestDistance = distance, nearest = &command->get_name();
    }
    if (next == nullptr)
      return "unknown command '" + word + "'" + (nearest != nullptr ? "; did you mean '" + *nearest + "'?" : "");
    level = next;
  }
  return std::nullopt;
}

// Help within 80 columns: an option's value by its name (ROM, OFFSET, N), never the
// parser's own words for its type, range or being required; long texts wrapped.
class HelpFormatter : public CLI::Formatter {
 public:
  static constexpr std::size_t kWidth = 80;
  static constexpr std::size_t kColumn = 26;

  HelpFormatter() { column_width(kColumn); }

  // `text` with each line longer than kWidth - `indent` broken at blanks, continued at `indent`.
  static std::string Wrapped(const std::string& text, std::size_t indent, std::size_t first = 0) {
    std::string result, line;
    std::size_t used = first;
    std::istringstream lines(text);
    for (std::string source; std::getline(lines, source);) {
      if (!result.empty() || line.size() > 0) result += "\n" + std::string(indent, ' '), used = indent;
      std::istringstream words(source);
      bool firstWord = true;
      for (std::string word; words >> word; firstWord = false) {
        if (!firstWord && used + 1 + word.size() > kWidth) {
          result += "\n" + std::string(indent, ' ');
          used = indent;
        } else if (!firstWord) {
          result += ' ';
          ++used;
        }
        result += word;
        used += word.size();
      }
      line = source;
    }
    return result;
  }

  std::string make_option(const CLI::Option* option, bool positional) const override {
    std::string name = "  " + make_option_name(option, positional);
    if (!positional && option->get_type_size() != 0) {
      std::string type = option->get_type_name();
      type = type.substr(0, type.find(':'));
      if (type == "INT" || type == "UINT" || type == "FLOAT") type = "N";  // the parser's words for numbers
      name += " " + type;
    }
    const std::string description = option->get_description();
    if (name.size() + 1 > kColumn) return name + "\n" + std::string(kColumn, ' ') + Wrapped(description, kColumn, kColumn) + "\n";
    return name + std::string(kColumn - name.size(), ' ') + Wrapped(description, kColumn, kColumn) + "\n";
  }

  std::string make_option_usage(const CLI::Option* option) const override { return option->get_name(true); }

  std::string make_subcommand(const CLI::App* command) const override {
    std::string name = "  " + command->get_display_name();
    name += std::string(name.size() < kColumn ? kColumn - name.size() : 1, ' ');
    return name + Wrapped(command->get_description(), kColumn, name.size()) + "\n";
  }

  std::string make_description(const CLI::App* app) const override {
    const std::string text = app->get_description();
    return text.empty() ? text : Wrapped(text, 0) + "\n";
  }

  // Examples (indented lines) as they are; the prose between them flowed again.
  std::string make_footer(const CLI::App* app) const override {
    std::string result, prose;
    const auto flush = [&] {
      if (!prose.empty()) result += Wrapped(prose, 0) + "\n";
      prose.clear();
    };
    std::istringstream lines(app->get_footer());
    for (std::string line; std::getline(lines, line);) {
      if (line.empty() || line.starts_with(" ") || line.ends_with(":")) {
        flush();
        result += line + "\n";
      } else {
        prose += (prose.empty() ? "" : " ") + line;
      }
    }
    flush();
    return result;
  }
};

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals) {
  CLI::App app{"Quarvel Descompressor: the compressed blocks of Mega Drive ROM images.\n"
               "Finds, decodes, draws, compresses and puts back Kosinski, Nemesis, Enigma, Kosinski Moduled and Saxman\n"
               "blocks.",
               "quarvel-cli"};
  app.set_version_flag("--version", "quarvel-cli " QUARVEL_VERSION);
  app.allow_windows_style_options(false);  // on Windows too: "/dir/rom.bin" is a path, not an option
  app.formatter(std::make_shared<HelpFormatter>());
  bool quiet = false;
  app.add_flag("--quiet,-q", quiet, "Report nothing but warnings and errors (no progress, no summaries), on any command");
  app.fallthrough();  // --quiet after the command's name too
  app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
    std::string command = "quarvel-cli";  // and the subcommands chosen: their --help tells their options
    for (const CLI::App* level = failed; level != nullptr && !level->get_subcommands().empty();) {
      level = level->get_subcommands().front();
      command += " " + level->get_name();
    }
    // An option no command knows is named as such, not as the required one it hid.
    std::string what = e.what();
    for (const std::string& word : failed->remaining(true))
      if (e.get_name() == "RequiredError" && word.size() > 1 && word[0] == '-' && word != "-") {
        what = "there is no option '" + word + "'";
        break;
      }
    return "quarvel-cli: error: " + what + "\nRun '" + command + " --help' for " +
           (command == "quarvel-cli" ? "the commands and options" : "its options") + ".\n";
  });
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "  quarvel-cli decompress -f nem -o 107184 --radix dec sonic.bin - > tiles.dat\n"
      "  quarvel-cli decompress -f eni -o '$3C000' --base 0x8400 sonic.bin title.map\n"
      "  quarvel-cli decompress -f sax -o EC0E8 --stream-size 0xF63 s2.bin driver.bin\n"
      "  quarvel-cli compress --format kosinski level.dat level.kos\n"
      "  quarvel-cli compress --format kosinski --accurate level.dat level.kos\n"
      "  quarvel-cli check-accurate --format nemesis art.nem\n"
      "  quarvel-cli catalogue list \"Sonic 1\"\n"
      "  quarvel-cli catalogue add Sonic1 -o 1A2B0 -f kos -d \"Green Hill art\"\n"
      "  quarvel-cli catalogue remove Sonic1 3\n"
      "  quarvel-cli extract --rom sonic.bin --catalogue \"Sonic 1\" --out-dir blocks\n"
      "  quarvel-cli scan sonic.bin --format nemesis\n"
      "  quarvel-cli preview --format nemesis --offset 24000 --zoom 2 sonic.bin art.png\n"
      "  quarvel-cli import-png art.png art.dat --palette sonic.pal\n"
      "  quarvel-cli insert -f nem -o 24000 sonic.bin art.dat sonic-new.bin\n"
      "  quarvel-cli checksum sonic-new.bin\n"
      "\n"
      "Exit status: 0 on success, 1 when the work failed, 2 when the arguments are wrong.");

  Arguments arguments;
  arguments.argv0 = argc > 0 ? argv[0] : nullptr;
  // Only the command named is declared, when one is: the others would only cost the
  // start. None for --version alone; without a name otherwise (--help, a misspelt
  // name), all of them.
  using Declare = Command (*)(CLI::App&, Arguments&);
  static constexpr std::pair<std::string_view, Declare> kCommands[] = {
      {"decompress", AddDecompress}, {"compress", AddCompress}, {"check-accurate", AddCheckAccurate},
      {"catalogue", AddCatalogue},   {"extract", AddExtract},   {"scan", AddScan},
      {"preview", AddPreview},       {"insert", AddInsert},     {"checksum", AddChecksum},
      {"info", AddInfo},             {"import-png", AddImportPng}};
  const auto* const end = argv + argc;
  const auto* const firstWord = std::find_if(argv + std::min(argc, 1), end, [](const char* w) { return w[0] != '-'; });
  const bool named = firstWord != end && std::any_of(std::begin(kCommands), std::end(kCommands),
                                                     [&](const auto& command) { return command.first == *firstWord; });
  const bool versionAlone = argc == 2 && std::string_view(argv[1]) == "--version";
  std::vector<Command> commands;
  for (const auto& [name, declare] : kCommands)
    if (named ? name == *firstWord : !versionAlone) commands.push_back(declare(app, arguments));
  if (const auto unknown = UnknownCommand(app, argc, argv)) {
    err << "quarvel-cli: error: " << *unknown << '\n';
    return cli::kUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? cli::kSuccess : cli::kUsage;
  }
  const cli::Streams streams{out, err, terminals.err, quiet, terminals.out};
  for (const auto& command : commands)
    if (*command.options) return command.work(streams);
  return cli::kUsage;
}

}  // namespace quarvel
