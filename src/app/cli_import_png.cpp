#include "app/cli_options.h"

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "files/palette_file.h"
#include "preview/png_import.h"

namespace quarvel::cli {

namespace {

// What decided a picture's zoom or tile count, as import-png says it.
std::string_view Why(ReadingChoice choice, bool zoom) {
  switch (choice) {
    case ReadingChoice::Given: return zoom ? "as --zoom says" : "as --tile-count says";
    case ReadingChoice::Layout: return "from the picture's layout";
    case ReadingChoice::Expected: return zoom ? "the one that gives the expected count" : "the expected count";
    case ReadingChoice::Picture: break;
  }
  return zoom ? "the largest at which each cell is one colour" : "every tile";
}

// What decided a picture's zoom or tile count, as --json says it.
const char* ChoiceWord(ReadingChoice choice) {
  switch (choice) {
    case ReadingChoice::Given: return "given";
    case ReadingChoice::Layout: return "layout";
    case ReadingChoice::Expected: return "expected";
    case ReadingChoice::Picture: break;
  }
  return "picture";
}

}  // namespace

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
  AddJson(*command, a.json,
          R"({"format_version": 1, "image", "out", "zoom", "zoom_from", "tile_count", "count_from", "format", "size"}, )"
          "on standard error when OUT is -");
  return {command, [&a](const cli::Streams& s) {
    return ForTheInput(a.rom, {.inputKey = "image", .jsonToErr = a.output == "-"}, WithJson(s, a.json),
                       [&a](const std::string& image, const Streams& one) {
                         return cli::ImportPng(image, a.output, a.importing, Folder(a), one);
                       });
  }};
}

int ImportPng(const std::string& image, const std::string& out, const ImportArgs& args, const CatalogueLocation& catalogues,
              const Streams& streams) {
  ProtectedFiles protect = CataloguesProtected(catalogues);
  std::vector<Palette> palette;
  if (!args.palette.empty()) {
    protect.Add(PathFromUtf8(args.palette), "the palette being read");
    auto read = ReadPaletteFile(PathFromUtf8(args.palette));
    if (!read) return streams.Error(read.error(), kFailure);
    palette = std::move(*read);
  }
  const auto png = ReadInput(image, kRomImageLimit, "an image is read up to " + SizeText(kRomImageLimit), protect,
                             "the image being read", streams);
  if (!png) return png.error();
  if (const int checked = CheckOutput(out, protect, streams); checked != kSuccess) return checked;
  const PictureReading how{.match = args.nearest ? ColourMatch::Nearest : ColourMatch::Exact,
                           .zoom = args.zoom,
                           .tileCount = args.tileCount,
                           .line = args.line};
  const auto tiles = TilesFromPng(*png, palette, how);
  if (!tiles) return streams.Error("cannot take tiles from '" + image + "': " + tiles.error().message, kFailure);
  for (const auto& warning : tiles->warnings) streams.Warning(warning.message);
  if (const std::size_t blank = tiles->blankTilesAtEnd; blank > 0) {
    const std::size_t first = tiles->tileCount - blank;
    streams.Warning("the picture's last row ends in " + (blank == 1 ? "a blank tile" : std::to_string(blank) + " blank tiles") +
                    " (colour 0 only), taken as " +
                    (blank == 1 ? "tile " + std::to_string(first)
                                : "tiles " + std::to_string(first) + " to " + std::to_string(tiles->tileCount - 1)) +
                    ": if they only fill the row out, give --tile-count " + std::to_string(first));
  }
  if (!streams.jsonOut)
    streams.Report(streams.err) << "quarvel-cli: read at zoom " << tiles->zoom << " (" << Why(tiles->zoomFrom, true) << "), "
                              << tiles->tileCount << (tiles->tileCount == 1 ? " tile (" : " tiles (")
                              << Why(tiles->countFrom, false) << ")\n";
  const FormatInfo* format = FormatNamed(args.compressFormat);
  std::vector<std::uint8_t> written = tiles->tiles;
  if (format != nullptr) {
    auto compressed = CodecOf(format->format).compress(tiles->tiles);
    if (!compressed) return streams.Error("cannot compress the tiles: " + compressed.error(), kFailure);
    written = std::move(*compressed);
  }
  if (const int code = Write(written, out, protect, streams); code != kSuccess) return code;
  Json json = JsonObject(1);
  json["image"] = image;
  json["out"] = out;
  json["zoom"] = tiles->zoom;
  json["zoom_from"] = ChoiceWord(tiles->zoomFrom);
  json["tile_count"] = tiles->tileCount;
  json["count_from"] = ChoiceWord(tiles->countFrom);
  json["format"] = format != nullptr ? Json(format->name) : Json();
  json["size"] = written.size();
  streams.JsonReport(json);
  return kSuccess;
}

}  // namespace quarvel::cli
