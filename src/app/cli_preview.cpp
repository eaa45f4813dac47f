#include "app/cli_options.h"

#include "app/cli_io.h"
#include "files/palette_file.h"
#include "preview/png_import.h"
#include "preview/tile_image.h"

namespace quarvel::cli {

namespace {

// Whether --tiles names a block of the ROM (an offset written 0x...), not a file.
bool IsRomOffset(const std::string& tiles) { return tiles.rfind("0x", 0) == 0 || tiles.rfind("0X", 0) == 0; }

// The tiles a plane map is drawn with: a block of the ROM image at an offset written
// with 0x, or a file (as it is, or decoded when --tiles-format names a format).
Expected<std::vector<std::uint8_t>, int> MapTiles(const RomInput& rom, const PreviewArgs& look, ProtectedFiles& protect,
                                                  const Streams& streams) {
  const FormatInfo* format = FormatNamed(look.tilesFormat);
  if (IsRomOffset(look.tiles)) {
    const auto offset = ParseOffset({look.tiles, Radix::Hex}, streams);
    if (!offset) return Fail(offset.error());
    if (format == nullptr)
      return Fail(streams.Error("--tiles " + look.tiles + " is a block of the ROM: say its format with --tiles-format", kUsage));
    auto block = Decoded(rom.Read(format->format, *offset), streams);
    if (!block) return Fail(block.error());
    return std::move(block->bytes);
  }
  const auto path = PathFromUtf8(look.tiles);
  protect.Add(path, "the tiles being read");
  auto bytes = ReadWholeFile(path, kRomImageLimit);
  if (!bytes) return Fail(streams.Error(bytes.error().message, kFailure));
  if (format == nullptr) return std::move(*bytes);
  auto block = Decoded(DecodeBlock(format->format, *bytes, 0), streams);
  if (!block) return Fail(block.error());
  return std::move(block->bytes);
}

}  // namespace

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

int Preview(std::optional<Format> asked, const OffsetArg& offsetArg, const std::string& romArg, const PreviewArgs& look,
            const std::string& out, const CatalogueLocation& catalogues, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  ProtectedFiles protect = CataloguesProtected(catalogues);
  const auto rom = RomInput::Open(romArg, protect, streams);
  if (!rom) return rom.error();
  std::vector<Palette> lines{GreyPalette()};
  if (!look.palette.empty()) {
    protect.Add(PathFromUtf8(look.palette), "the palette being read");
    const auto read = ReadPaletteFile(PathFromUtf8(look.palette));
    if (!read) return streams.Error(read.error(), kFailure);
    lines = *read;
  }
  if (!look.tiles.empty() && !IsRomOffset(look.tiles)) protect.Add(PathFromUtf8(look.tiles), "the tiles being read");
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;
  const auto chosen = ChooseFormat(asked, *rom, *offset, romArg, streams);
  if (!chosen) return chosen.error();
  const Format format = *chosen;
  if (!look.tiles.empty() && format != Format::Enigma) return streams.Error("--tiles applies to Enigma maps only", kUsage);
  if (look.firstTile && (look.tiles.empty() || format != Format::Enigma))
    return streams.Error("--first-tile applies to Enigma maps drawn with --tiles", kUsage);
  const auto block = Decoded(rom->Read(format, *offset), streams);
  if (!block) return block.error();
  if (format != Format::Enigma) {
    const auto image = RenderTiles(block->bytes, lines.front(), look.columns, look.zoom);
    if (!image) return streams.Error("cannot draw the block: " + image.error(), kFailure);
    const std::string rom = romArg == "-" ? "standard input" : PathToUtf8(PathFromUtf8(romArg).filename());
    const PictureLayout layout{std::string(FormatName(format)), (block->bytes.size() + kTileBytes - 1) / kTileBytes,
                               look.columns, look.zoom, 0, rom + "@" + HexOffset(static_cast<std::uint64_t>(*offset))};
    return Write(EncodePng(*image, &layout), out, protect, streams);
  }
  if (look.tiles.empty()) {
    const std::string text = PlaneMapText(block->bytes, look.columns);
    return Write(std::vector<std::uint8_t>(text.begin(), text.end()), out, protect, streams);
  }
  const auto tiles = MapTiles(*rom, look, protect, streams);
  if (!tiles) return tiles.error();
  const std::size_t tileCount = tiles->size() / 32;
  const unsigned firstTile = look.firstTile.value_or(ProposedFirstTile(block->bytes, tileCount));
  if (!look.firstTile && firstTile != 0) {
    streams.Report(streams.err) << "quarvel-cli: the map's tiles start at " << HexOffset(firstTile)
                                << " in video memory, beyond its " << tileCount << " tiles: drawn with --first-tile "
                                << HexOffset(firstTile) << '\n';
  }
  const auto image = RenderPlaneMap(block->bytes, *tiles, lines, look.columns, look.zoom, firstTile);
  if (!image) return streams.Error("cannot draw the map: " + image.error(), kFailure);
  return Write(EncodePng(*image), out, protect, streams);
}

}  // namespace quarvel::cli
