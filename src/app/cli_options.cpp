#include "app/cli_options.h"

#include <algorithm>
#include <cctype>

#include "catalogue/rom_names.h"
#include "platform/program_directory.h"

namespace quarvel::cli {

// Where the catalogues are: --catalogue-dir, else beside the program or in the user's data folder.
CatalogueLocation Folder(const Arguments& a) {
  if (!a.catalogueFolder.empty()) return {PathFromUtf8(a.catalogueFolder), std::nullopt, false, {}};
  return LocateCatalogues(ExecutableDirectory(a.argv0), UserDataDirectory());
}

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
CLI::Validator HexWord(std::size_t digits) {
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
CLI::Validator FormatWord(std::vector<std::string> formats, std::vector<std::string> more) {
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
void AddFormat(CLI::App& command, std::string& format, bool automatic) {
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
void AddOffset(CLI::App& command, cli::OffsetArg& offset, bool standAlone) {
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

void AddInputs(CLI::App& command, BatchArgs& batch, const std::string& name, const std::string& what) {
  command.add_option(name, batch.operands, what + ", folders of them (their regular files), or - for standard input")
      ->required();
  command.add_flag("--recursive,-R", batch.recursive, "Take the files of a folder's subfolders too");
  command.add_option("--jobs,-j", batch.jobs, "Work on N inputs at once (default: one a processor)")
      ->type_name("N")
      ->check(CLI::Range(1, 1024));
}

void AddJson(CLI::App& command, bool& json, const std::string& shape) {
  command.add_flag("--json", json, "Print a JSON object a line: " + shape);
}

Streams WithJson(const Streams& streams, bool json) {
  Streams with = streams;
  with.jsonOut = json ? &streams.out : nullptr;
  return with;
}

}  // namespace quarvel::cli
