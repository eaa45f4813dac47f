#include "app/cli_options.h"

#include <cstdio>

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "decoders/saxman.h"
#include "formats/accurate_check.h"
#include "report/report_json.h"

namespace quarvel::cli {

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
  AddJson(*command, a.json,
          R"({"format_version": 1, "in", "out", "format", "mode", "size", "compressed_size"}, on standard error when )"
          "OUT is -");
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
            return ForTheInput(a.rom, {.inputKey = "in", .jsonToErr = a.output == "-"}, WithJson(s, a.json),
                               [&](const std::string& in, const Streams& one) {
                                 return cli::Compress(a.format(), in, a.output, accurate, a.noSizeHeader, Folder(a), one);
                               });
          }};
}

Command AddCheckAccurate(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand(
      "check-accurate", "Say whether a block is what the games' own compressor writes for what it decodes to");
  command->footer(
      "Examples:\n"
      "  quarvel-cli check-accurate --format nemesis artnem/Rings.nem\n"
      "  quarvel-cli check-accurate --format nemesis --recursive artnem/\n"
      "The file is decoded and its data compressed again as the games' compressor did (a Nemesis block in the\n"
      "Sonic 1 and 2 form and in the Sonic 3 & Knuckles form, a Kosinski Moduled block with its header's size;\n"
      "with --no-size-header, a Saxman stream without its size header, as a disassembly keeps the sound driver).\n"
      "Exit status 0 when the file is identical: a disassembly may keep its data decompressed and still build\n"
      "the game byte for byte; 1 when it differs (the first byte that does is named) or does not decode.");
  AddFormat(*command, a.formatName);
  command->add_flag("--no-size-header", a.noSizeHeader, "Saxman: the file is a stream without its size header");
  AddInputs(*command, a.batch, "FILE", "Compressed blocks, each a whole file");
  AddJson(*command, a.json,
          R"({"format_version": 1, "file", "format", "identical", "form", "size", "accurate_size", )"
          R"("first_difference", "stored_byte", "accurate_byte"})");
  return {command, [&a](const cli::Streams& s) {
    if (a.noSizeHeader && a.format() != Format::Saxman)
      return s.Error("--no-size-header applies to Saxman streams only (name --format saxman)", cli::kUsage);
    const CatalogueLocation catalogues = Folder(a);
    return ForEachInput(InputsOf(a.batch.operands, a.batch.recursive), a.batch.jobs, {.inputKey = "file"},
                        WithJson(s, a.json), [&](const std::string& file, const Streams& one) {
                          return cli::CheckAccurate(a.format(), file, a.noSizeHeader, catalogues, one);
                        });
  }};
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
  const auto block = std::span(*compressed).subspan(streamOnly ? kSaxmanHeaderBytes : 0);
  if (const int written = Write(block, out, protect, streams); written != kSuccess) return written;
  Json json = JsonObject(1);
  json["in"] = in;
  json["out"] = out;
  json["format"] = FormatName(format);
  json["mode"] = accurate ? "accurate" : "smallest";
  json["size"] = data->size();
  json["compressed_size"] = block.size();
  streams.JsonReport(json);
  return kSuccess;
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
  if (streams.jsonOut) {
    Json json = JsonObject(1);
    json["file"] = file;
    json["format"] = FormatName(format);
    json.update(AccurateCheckJson(*check));
    streams.JsonReport(json);
    return check->identical ? kSuccess : kFailure;
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

}  // namespace quarvel::cli
