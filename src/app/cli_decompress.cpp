#include "app/cli_options.h"

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "decoders/enigma.h"
#include "decoders/saxman.h"

namespace quarvel::cli {

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
  AddJson(*command, a.json,
          R"({"format_version": 1, "rom", "out", "offset", "offset_hex", "format", "decoded_size", "compressed_size"}, )"
          "on standard error when OUT is -");
  return {command, [&a](const cli::Streams& s) {
            if (!a.base.empty() && a.formatOrAuto() != Format::Enigma)
              return s.Error("--base applies to Enigma blocks only (name --format enigma)", cli::kUsage);
            if (!a.streamSize.empty() && a.formatOrAuto() != Format::Saxman)
              return s.Error("--stream-size applies to Saxman streams only (name --format saxman)", cli::kUsage);
            const auto base = static_cast<std::uint16_t>(a.base.empty() ? 0 : std::stoul(a.base, nullptr, 16));
            std::optional<std::uint16_t> streamSize;
            if (!a.streamSize.empty()) streamSize = static_cast<std::uint16_t>(*NumberIn(a.streamSize));
            return ForTheInput(a.rom, {.jsonToErr = a.output == "-"}, WithJson(s, a.json),
                               [&](const std::string& rom, const Streams& one) {
                                 return cli::Decompress(a.formatOrAuto(), a.offset, {base, streamSize}, rom, a.output,
                                                        Folder(a), one);
                               });
          }};
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
  if (const int written = Write(block->bytes, outArg, protect, streams); written != kSuccess) return written;
  Json json = JsonObject(1);
  json["rom"] = romArg;
  json["out"] = outArg;
  AddOffset(json, "offset", static_cast<std::uint32_t>(*offset));
  json["format"] = FormatName(*format);
  json["decoded_size"] = block->bytes.size();
  json["compressed_size"] = block->compressedSize;
  streams.JsonReport(json);
  return kSuccess;
}

}  // namespace quarvel::cli
