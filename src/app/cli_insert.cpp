#include "app/cli_options.h"

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "catalogue/entry.h"

namespace quarvel::cli {

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
  AddJson(*command, a.json,
          R"({"format_version": 1, "rom", "out", "offset", "offset_hex", "format", "size", "room", "decoded_size", )"
          R"("old_decoded_size", "appended", "at", "at_hex", "rom_size", "plain_written"}, on standard error when OUT is -)");
  return {command, [&a](const cli::Streams& s) {
            cli::InsertArgs args = a.insert;
            if (!a.fill.empty()) args.fill = static_cast<std::uint8_t>(std::stoul(a.fill, nullptr, 16));
            if (!a.streamSize.empty())
              return s.Error("cannot insert a Saxman stream without its size header: its size lives in the game's code "
                             "(Sonic 2's sound driver: the count its loader moves), which the tool does not change. "
                             "Write the stream with 'compress --no-size-header', put it in place and change that count "
                             "by hand",
                             cli::kUsage);
            return ForTheInput(a.rom, {.jsonToErr = a.output == "-"}, WithJson(s, a.json),
                               [&](const std::string& rom, const Streams& one) {
                                 return cli::Insert(a.format(), a.offset, rom, a.data, a.output, args, Folder(a), one);
                               });
          }};
}

int Insert(Format format, const OffsetArg& offsetArg, const std::string& romArg, const std::string& dataArg,
           const std::string& out, const InsertArgs& args, const CatalogueLocation& catalogues, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  ProtectedFiles protect = CataloguesProtected(catalogues);
  RomLayout layout = RomLayout::Plain;
  auto rom = ReadRom(romArg, protect, streams, &layout);
  if (!rom) return rom.error();
  const FormatInfo& info = InfoOf(format);
  const std::uint64_t limit = args.raw ? kRomImageLimit : info.largestData;
  const auto data = ReadInput(dataArg, limit,
                              args.raw ? "a block is read up to " + SizeText(limit)
                                       : "a " + std::string(info.title) + " block holds at most " + std::string(info.largestText),
                              protect, "the data being inserted", streams);
  if (!data) return data.error();
  bool listed = false;
  if (!args.catalogue.empty()) {
    const auto catalogue = ReadCatalogue(catalogues, args.catalogue, streams);
    if (!catalogue) return catalogue.error();
    listed = Lists(catalogue->load.entries, *offset, format);
  }
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;

  const BlockChange change{.format = format,
                           .offset = *offset,
                           .raw = args.raw,
                           .fixChecksum = !args.keepChecksum,
                           .placing = {args.fill, args.append, args.allowLarge},
                           .listed = listed,
                           .force = args.force,
                           .resize = args.resize};
  const auto changed = ReplaceBlock(*rom, *data, change);
  if (!changed) {
    std::string message = "cannot insert at " + HexOffset(static_cast<std::uint64_t>(*offset)) + ": " + changed.error().message;
    if (changed.error().kind == ChangeFailure::Kind::NotABlock)
      message += " (name a catalogue that lists it with --catalogue, or replace it anyway with --force)";
    if (changed.error().kind == ChangeFailure::Kind::TileCountChanged) message += ": give --resize to change the count";
    return streams.Error(message, kFailure);
  }
  for (const auto& warning : changed->warnings) streams.Warning("the new block: " + warning);
  if (const int written = Write(*rom, out, protect, streams); written != kSuccess) return written;
  if (streams.jsonOut) {
    Json json = JsonObject(1);
    json["rom"] = romArg;
    json["out"] = out;
    AddOffset(json, "offset", static_cast<std::uint32_t>(*offset));
    json["format"] = FormatName(format);
    json["size"] = changed->newSize;
    json["room"] = changed->oldSize;
    json["decoded_size"] = changed->newDecodedSize;
    json["old_decoded_size"] = changed->oldDecodedSize;
    json["appended"] = changed->where.appended;
    AddOffset(json, "at", changed->where.offset);
    json["rom_size"] = changed->where.romSize;
    json["plain_written"] = layout == RomLayout::Interleaved;
    streams.JsonReport(json);
    return kSuccess;
  }
  std::ostream& report = streams.Report(out == "-" ? streams.err : streams.out);
  const std::string decoded =
      "decoded: " + SizeText(changed->newDecodedSize) + ", was " + SizeText(changed->oldDecodedSize);
  if (changed->where.appended) {
    report << "appended the block (" << changed->newSize << " bytes; the old one's room is " << changed->oldSize << "; "
           << decoded << ") at " << HexOffset(changed->where.offset) << "; the ROM is now " << changed->where.romSize
           << " bytes. Point the game at " << HexOffset(changed->where.offset) << " where it pointed at "
           << HexOffset(static_cast<std::uint64_t>(*offset)) << ".\n";
  } else {
    report << "inserted " << changed->newSize << " bytes at " << HexOffset(changed->where.offset) << " in place of "
           << changed->oldSize << " (" << decoded << ")" << (changed->newSize < changed->oldSize ? "; the rest filled" : "")
           << ".\n";
  }
  SayPlainWritten(layout, report);
  return kSuccess;
}

}  // namespace quarvel::cli
