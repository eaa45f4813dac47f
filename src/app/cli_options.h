// The options the commands of quarvel-cli share, and what they are parsed into.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_batch.h"
#include "app/cli_commands.h"

namespace quarvel::cli {

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
  cli::BatchArgs batch;       // the inputs of a command that takes many
  bool json = false;          // --json

  Format format() const { return FormatNamed(formatName)->format; }
  // Nothing for "auto".
  std::optional<Format> formatOrAuto() const {
    const FormatInfo* info = FormatNamed(formatName);
    return info ? std::optional(info->format) : std::nullopt;
  }
};

// A command: its options, parsed into Arguments, and the work that runs when it is chosen.
struct Command {
  CLI::App* options;
  std::function<int(const cli::Streams&)> work;
};

// Where the catalogues are: --catalogue-dir, else beside the program or in the user's data folder.
CatalogueLocation Folder(const Arguments& a);

// "kosinski or nemesis"
std::string FormatNames();

// "kos, nem, eni, kosm, sax"
std::string ShortNames();

// "kosinski|nemesis"
std::string Joined(const std::vector<std::string>& words);

// A choice among words: the value as its word is written, or an error that lists them.
CLI::Validator OneOf(std::vector<std::string> words);

// A hexadecimal number of at most `digits` digits, 0x in front or not: a word or a byte.
CLI::Validator HexWord(std::size_t digits = 4);

std::vector<std::string> FormatWords();

// A format's name, long or short, as its long name; or one of `more` ("auto", "all").
CLI::Validator FormatWord(std::vector<std::string> formats, std::vector<std::string> more = {});

// --format, required; with `automatic`, "auto" too (decompress and preview).
void AddFormat(CLI::App& command, std::string& format, bool automatic = false);

// --offset, required; or, when `standAlone`, 0 by default (a file that is one block).
void AddOffset(CLI::App& command, cli::OffsetArg& offset, bool standAlone = false);

void AddCatalogueFolder(CLI::App& command, std::string& folder);

// "Catalogues, by ROM name or file name: Sonic 1 (Sonic1.dat), ..."
std::string CatalogueNames();

// A number written 0x... (hexadecimal) or in decimal digits, or nothing when it is not one.
std::optional<unsigned long> NumberIn(const std::string& value);

// A number of `low` to `high` (0x... or decimal); `what` says what it is, for the error.
CLI::Validator Number(unsigned long low, unsigned long high, const std::string& what);

// A size of 1 to 65,535 bytes, written 0x... (hexadecimal) or in decimal.
CLI::Validator Size();

// The operands `name` of a command that takes many inputs (`what`: "ROM images to read"),
// --recursive and --jobs.
void AddInputs(CLI::App& command, BatchArgs& batch, const std::string& name, const std::string& what);

// --json, which writes `shape` (an object's keys, in docs/json.md) a line.
void AddJson(CLI::App& command, bool& json, const std::string& shape);

// The streams of a command: with --json, its reports go to `out` as JSON Lines.
Streams WithJson(const Streams& streams, bool json);

// Each command: declares its options on `app`, parsed into `a`.
Command AddDecompress(CLI::App& app, Arguments& a);
Command AddCompress(CLI::App& app, Arguments& a);
Command AddCheckAccurate(CLI::App& app, Arguments& a);
Command AddCatalogue(CLI::App& app, Arguments& a);
Command AddExtract(CLI::App& app, Arguments& a);
Command AddScan(CLI::App& app, Arguments& a);
Command AddPreview(CLI::App& app, Arguments& a);
Command AddInsert(CLI::App& app, Arguments& a);
Command AddChecksum(CLI::App& app, Arguments& a);
Command AddInfo(CLI::App& app, Arguments& a);
Command AddImportPng(CLI::App& app, Arguments& a);

}  // namespace quarvel::cli
