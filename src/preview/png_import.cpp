#include "preview/png_import.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>

#include "preview/png_decode.h"

namespace quarvel {
namespace {

// More pixels than 8,192 tiles many times over: what an image is read up to.
constexpr std::size_t kLargestImage = std::size_t{1} << 24;

// A channel of 16 bits as the 8-bit value it was made from (v * 257), or -1.
int EightBits(const std::uint8_t* channel) {
  const unsigned value = unsigned{channel[0]} << 8 | channel[1];
  return value % 257 == 0 ? static_cast<int>(value / 257) : -1;
}

std::string Pixel(std::size_t x, std::size_t y) {
  return "the pixel at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

std::string ColourText(Rgb c) {
  std::string text = "(";
  return text.append(std::to_string(c.r)).append(", ").append(std::to_string(c.g)).append(", ").append(std::to_string(c.b)) + ")";
}

// A pixel as a key that tells colours apart: a colour index as itself, an opaque colour
// as kOpaque | r << 16 | g << 8 | b, and any transparent pixel (colour 0) as kClear.
constexpr std::uint32_t kOpaque = 1u << 24;
constexpr std::uint32_t kClear = 0xFFFFFFFFu;

Rgb ColourOf(std::uint32_t key) {
  return {static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
}

// A picture read: a key a pixel, row by row.
struct Picture {
  std::vector<std::uint32_t> keys;
  std::size_t width = 0, height = 0;
  bool indexed = false;

  PngProblem Problem(PngProblem::Kind kind, std::string message, std::size_t x = 0, std::size_t y = 0) const {
    return PngProblem{kind, std::move(message), static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                      static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
  }

  // The top-left pixel of the first cell of `zoom` x `zoom` pixels that is not one
  // colour; nothing when each is.
  std::optional<std::size_t> MixedCell(unsigned zoom) const {
    for (std::size_t at = 0; zoom > 1 && at < keys.size(); ++at) {
      const std::size_t x = at % width, y = at / width, corner = (y - y % zoom) * width + x - x % zoom;
      if (keys[at] != keys[corner]) return corner;
    }
    return std::nullopt;
  }
};

// Where a colour is in each palette line: the index of the first of that colour, and
// (Nearest) of the first of the nearest within reach; -1 where there is none.
struct Places {
  std::array<int, 4> exact{-1, -1, -1, -1}, nearest{-1, -1, -1, -1};
};

Places PlacesOf(const std::vector<Palette>& palette, Rgb colour, ColourMatch match) {
  Places places;
  for (std::size_t line = 0; line < palette.size() && line < 4; ++line) {
    int nearestDistance = kNearestColourReach + 1;
    for (int i = 0; i < 16; ++i) {
      const Rgb& c = palette[line][static_cast<std::size_t>(i)];
      const int distance = std::max({std::abs(c.r - colour.r), std::abs(c.g - colour.g), std::abs(c.b - colour.b)});
      if (distance == 0 && places.exact[line] < 0) places.exact[line] = i;
      if (match == ColourMatch::Nearest && distance < nearestDistance) nearestDistance = distance, places.nearest[line] = i;
    }
  }
  return places;
}

// Every tile of `picture` read at `zoom` (a tile pixel the top-left pixel of its cell),
// each colour tile within one palette line (see TilesFromPng).
Expected<ImportedTiles, PngProblem> MatchTiles(const Picture& picture, unsigned zoom, const std::vector<Palette>& palette,
                                               ColourMatch match, std::optional<unsigned> line, unsigned firstLine) {
  using Kind = PngProblem::Kind;
  const std::size_t across = picture.width / zoom / 8, down = picture.height / zoom / 8;
  const std::size_t lineCount = std::min<std::size_t>(palette.size(), 4);
  std::vector<unsigned> order;  // the lines tried, in turn
  if (line) {
    order.push_back(*line);
  } else if (lineCount > 0) {
    order.push_back(firstLine < lineCount ? firstLine : 0);
    for (unsigned l = 0; l < lineCount; ++l)
      if (l != order.front()) order.push_back(l);
  }
  const bool nearest = match == ColourMatch::Nearest;
  std::unordered_map<std::uint32_t, Places> places;
  std::array<std::array<bool, 16>, 4> looked{};  // the indices taken whose colour another index may share: said once
  bool folded = false;

  ImportedTiles read;
  read.tiles.reserve(across * down * 32);
  for (std::size_t tile = 0; tile < across * down; ++tile) {
    const std::size_t left = tile % across * 8, top = tile / across * 8;  // in cells
    std::array<std::uint32_t, 64> keys{};
    std::vector<std::uint32_t> colours;  // the tile's opaque colours, in the order they first come
    for (std::size_t i = 0; i < 64; ++i) {
      keys[i] = picture.keys[((top + i / 8) * zoom) * picture.width + (left + i % 8) * zoom];
      if (!picture.indexed && keys[i] != kClear && std::find(colours.begin(), colours.end(), keys[i]) == colours.end())
        colours.push_back(keys[i]);
    }
    const auto pixelOf = [&](std::uint32_t key) {  // its first place in the picture
      const std::size_t i = static_cast<std::size_t>(std::find(keys.begin(), keys.end(), key) - keys.begin());
      return std::pair{(left + i % 8) * zoom, (top + i / 8) * zoom};
    };
    // Whether line `l` holds `key` (exactly, or with `near` as the nearest), and where.
    const auto at = [&](std::uint32_t key, unsigned l, bool near) {
      auto found = places.find(key);
      if (found == places.end()) found = places.emplace(key, PlacesOf(palette, ColourOf(key), match)).first;
      return (near ? found->second.nearest : found->second.exact)[l];
    };
    for (const std::uint32_t key : colours) {
      if (std::any_of(order.begin(), order.end(), [&](unsigned l) { return at(key, l, nearest) >= 0; })) continue;
      const auto [x, y] = pixelOf(key);
      PngProblem lacking = picture.Problem(
          Kind::NotInPalette,
          Pixel(x, y) + " has the colour " + ColourText(ColourOf(key)) + ", which " +
              (line ? "palette line " + std::to_string(*line) + " does" : std::string("the palette does")) + " not hold" +
              (nearest ? " within " + std::to_string(kNearestColourReach) + " a channel" : ""),
          x, y);
      lacking.colour = ColourOf(key);
      lacking.line = line;
      return Fail(lacking);
    }
    std::optional<std::pair<unsigned, bool>> chosen;  // the line, and whether by the nearest colours
    for (const bool near : {false, true}) {
      for (const unsigned l : order) {
        if (chosen || (near && !nearest)) break;
        if (std::all_of(colours.begin(), colours.end(), [&](std::uint32_t key) { return at(key, l, near) >= 0; }))
          chosen = {l, near};
      }
    }
    if (!chosen && !colours.empty()) {
      const auto held = [&](unsigned l) {
        return std::count_if(colours.begin(), colours.end(), [&](std::uint32_t key) { return at(key, l, nearest) >= 0; });
      };
      const unsigned best = *std::max_element(order.begin(), order.end(), [&](unsigned a, unsigned b) { return held(a) < held(b); });
      const std::uint32_t odd = *std::find_if(colours.begin(), colours.end(), [&](std::uint32_t key) { return at(key, best, nearest) < 0; });
      PngProblem mixed = picture.Problem(Kind::NoLineHoldsTile,
                                         "tile " + std::to_string(tile) + " (its top-left pixel at (" + std::to_string(left * zoom) +
                                             ", " + std::to_string(top * zoom) + ")) has the colour " + ColourText(ColourOf(odd)) +
                                             ", which no palette line holds together with the tile's other colours",
                                         left * zoom, top * zoom);
      mixed.tile = tile;
      mixed.colour = ColourOf(odd);
      return Fail(mixed);
    }
    std::array<std::uint8_t, 64> pixels{};
    for (std::size_t i = 0; i < 64; ++i) {
      if (keys[i] == kClear) continue;  // colour 0 of its line
      if (picture.indexed) {
        folded = folded || keys[i] > 15;
        pixels[i] = static_cast<std::uint8_t>(keys[i] % 16);
        continue;
      }
      const auto [l, near] = *chosen;
      const auto index = static_cast<std::size_t>(at(keys[i], l, near));
      pixels[i] = static_cast<std::uint8_t>(index);
      if (std::exchange(looked[l][index], true)) continue;
      PictureWarning shared{PictureWarning::Kind::SharedColour, "", palette[l][index], l, {static_cast<unsigned>(index)}};
      std::string others;
      for (std::size_t j = index + 1; j < 16; ++j) {
        if (palette[l][j] != palette[l][index]) continue;
        others += " and index " + std::to_string(j);
        shared.indices.push_back(static_cast<unsigned>(j));
      }
      if (others.empty()) continue;
      shared.message = "colour " + ColourText(palette[l][index]) + " is index " + std::to_string(index) + others +
                       " of line " + std::to_string(l) + "; index " + std::to_string(index) + " was taken";
      read.warnings.push_back(std::move(shared));
    }
    for (std::size_t i = 0; i < 64; i += 2) read.tiles.push_back(static_cast<std::uint8_t>(pixels[i] << 4 | pixels[i + 1]));
  }
  if (folded) {
    read.warnings.push_back({PictureWarning::Kind::FoldedIndices,
                             "colour indices 16 to 63 were taken as 0 to 15 of their palette line"});
  }
  return read;
}

// Sets the key of each pixel of what was read; fails for a pixel no tile can hold:
// partly transparent, of an index above 63, of a 16-bit colour no 8-bit one makes, or of
// a colour when there is no palette.
Expected<void, PngProblem> Keys(const DecodedPng& read, Picture& picture, const std::vector<Palette>& palette) {
  using Kind = PngProblem::Kind;
  const std::size_t width = read.width;
  picture.keys.resize(width * read.height);
  for (std::size_t at = 0; at < picture.keys.size(); ++at) {
    const std::size_t x = at % width, y = at / width;
    const std::uint8_t* row = read.rows.data() + y * read.rowBytes;
    unsigned alpha = 255;
    std::uint32_t key = 0;
    if (read.indexed) {
      key = row[x];
      alpha = read.indexAlpha[key];
      if (key > 63 && alpha != 0) {
        PngProblem high = picture.Problem(Kind::IndexTooHigh, Pixel(x, y) + " has colour index " + std::to_string(key) + "; tiles take 0 to 63", x, y);
        high.index = key;
        return Fail(high);
      }
    } else {
      const std::size_t step = read.sixteenBits ? 2 : 1;
      std::array<int, 4> rgba{};
      for (std::size_t c = 0; c < 4; ++c) rgba[c] = read.sixteenBits ? EightBits(row + (x * 4 + c) * step) : row[(x * 4 + c) * step];
      alpha = static_cast<unsigned>(rgba[3]);  // a 16-bit alpha that no 8-bit one makes: -1, partly transparent
      if (alpha == 255 && (rgba[0] < 0 || rgba[1] < 0 || rgba[2] < 0)) {
        return Fail(picture.Problem(Kind::Wide16Bits, Pixel(x, y) + " has a 16-bit colour that no 8-bit colour makes; a palette "
                                                                     "colour has 8 bits a channel (save the image with 8 bits a channel)",
                                    x, y));
      }
      if (alpha == 255 && palette.empty())
        return Fail(picture.Problem(Kind::NoPalette, "the image has colours, not colour indices: give the palette it uses"));
      key = kOpaque | static_cast<std::uint32_t>(rgba[0] << 16 | rgba[1] << 8 | rgba[2]);
    }
    if (alpha != 0 && alpha != 255) {
      return Fail(picture.Problem(Kind::PartlyTransparent,
                                  Pixel(x, y) + " is partly transparent; a tile's pixel is a colour, or transparent as colour 0", x, y));
    }
    picture.keys[at] = alpha == 0 ? kClear : key;
  }
  return {};
}

// Whether the tiles from `first` on are blank: colour 0 only.
bool BlankFrom(const std::vector<std::uint8_t>& tiles, std::size_t first) {
  return std::all_of(tiles.begin() + static_cast<std::ptrdiff_t>(std::min(first * 32, tiles.size())), tiles.end(),
                     [](std::uint8_t b) { return b == 0; });
}

std::string Tiles(std::size_t count) { return std::to_string(count) + (count == 1 ? " tile" : " tiles"); }

}  // namespace

Expected<ImportedTiles, PngProblem> TilesFromPng(std::span<const std::uint8_t> png, const std::vector<Palette>& palette,
                                                 const PictureReading& how) {
  using Kind = PngProblem::Kind;
  auto decoded = DecodePng(png, kLargestImage);
  if (!decoded) {
    const PngDecodeError& fault = decoded.error();
    const Kind kind = fault.kind == PngDecodeError::Kind::NotPng        ? Kind::NotPng
                      : fault.kind == PngDecodeError::Kind::TooMuchData ? Kind::TooMuchData
                                                                        : Kind::Unreadable;
    return Fail(PngProblem{kind, kind == Kind::Unreadable ? "the image cannot be read: " + fault.message : fault.message,
                           fault.width, fault.height});
  }
  DecodedPng& read = *decoded;
  Picture picture;
  picture.width = read.width, picture.height = read.height, picture.indexed = read.indexed;
  const std::string size = std::to_string(read.width) + " x " + std::to_string(read.height) + " pixels";
  const auto notWhole = [&](unsigned zoom) {
    PngProblem problem = picture.Problem(
        Kind::NotWholeTiles, "the image is " + size + "; " + (zoom > 1 ? "at zoom " + std::to_string(zoom) + " " : "") +
                                 "tiles need a width and a height that are multiples of " + std::to_string(8 * zoom));
    problem.zoom = zoom;
    return Fail(problem);
  };
  if (read.width % 8 != 0 || read.height % 8 != 0 || read.width == 0 || read.height == 0) return notWhole(1);
  if (read.rows.empty())
    return Fail(picture.Problem(Kind::TooManyPixels, "the image is " + size + "; more than 16,777,216 pixels are more tiles than any block holds"));

  if (auto keys = Keys(read, picture, palette); !keys) return Fail(keys.error());
  std::vector<std::uint8_t>().swap(read.rows);
  const std::size_t width = read.width, height = read.height;

  // The layout, when it fits the picture and no other zoom is asked.
  std::vector<PictureWarning> notes;
  auto layout = ReadPictureLayout(png);
  if (layout && PictureSize(*layout) != std::pair<std::uint64_t, std::uint64_t>{width, height}) {
    const auto [w, h] = PictureSize(*layout);
    notes.push_back({PictureWarning::Kind::LayoutIgnored, "the picture's layout (" + Tiles(layout->tiles) + ", " + std::to_string(layout->columns) +
                    " a row, at zoom " + std::to_string(layout->zoom) + ") is of a picture of " + std::to_string(w) + " x " +
                    std::to_string(h) + " pixels, and this one is " + size + ": it was read without it"});
    layout.reset();
  }
  if (layout && how.zoom && *how.zoom != layout->zoom) layout.reset();
  const std::optional<unsigned> line = how.line ? how.line : layout ? std::optional(layout->line) : std::nullopt;
  const std::size_t lines = std::min<std::size_t>(palette.size(), 4);
  if (!picture.indexed && line && lines > 0 && *line >= lines) {
    PngProblem none = picture.Problem(Kind::NoSuchLine, (how.line ? "palette line " + std::to_string(*line) + " is asked for"
                                                                  : "the picture's layout names palette line " + std::to_string(*line)) +
                                                            ", and the palette has " + std::to_string(lines) +
                                                            (lines == 1 ? " line" : " lines"));
    none.line = line;
    none.lines = lines;
    return Fail(none);
  }
  const auto matched = [&](unsigned zoom) { return MatchTiles(picture, zoom, palette, how.match, line, how.firstLine); };

  std::optional<ImportedTiles> tiles;
  unsigned zoom = 1;
  ReadingChoice zoomFrom = ReadingChoice::Picture;
  if (how.zoom || layout) {
    zoom = how.zoom ? *how.zoom : layout->zoom;
    zoomFrom = how.zoom ? ReadingChoice::Given : ReadingChoice::Layout;
    if (zoom < 1 || zoom > kMaxZoom || width % (8 * zoom) != 0 || height % (8 * zoom) != 0) return notWhole(zoom);
    if (const auto mixed = picture.MixedCell(zoom)) {
      const std::string cell = std::to_string(zoom) + " x " + std::to_string(zoom);
      PngProblem problem = picture.Problem(Kind::MixedCell,
                                           "the " + cell + " pixels at (" + std::to_string(*mixed % width) + ", " + std::to_string(*mixed / width) + ")" +
                                               " are not one colour, and the picture is read at zoom " + std::to_string(zoom) +
                                               (how.zoom ? " (as asked)" : " (as its layout says)"),
                                           *mixed % width, *mixed / width);
      problem.zoom = zoom;
      return Fail(problem);
    }
  } else {
    std::vector<unsigned> zooms;  // those at which every cell is one colour, the largest first
    for (unsigned z = kMaxZoom; z >= 1; --z)
      if (width % (8 * z) == 0 && height % (8 * z) == 0 && !picture.MixedCell(z)) zooms.push_back(z);
    zoom = zooms.front();
    for (const unsigned z : zooms) {
      if (!how.expectedTiles) break;
      const std::size_t across = width / z / 8, held = across * (height / z / 8), expected = *how.expectedTiles;
      if (expected > held || held - expected >= across) continue;
      auto candidate = matched(z);
      if (!candidate || !BlankFrom(candidate->tiles, expected)) continue;
      tiles = std::move(*candidate);
      zoom = z, zoomFrom = ReadingChoice::Expected;
      break;
    }
  }
  if (!tiles) {
    auto all = matched(zoom);
    if (!all) return Fail(all.error());
    tiles = std::move(*all);
  }

  ImportedTiles& imported = *tiles;
  const std::size_t across = width / zoom / 8, held = imported.tiles.size() / 32;
  std::size_t count = held;
  imported.countFrom = ReadingChoice::Picture;
  if (how.tileCount) {
    if (*how.tileCount > held) {
      PngProblem many = picture.Problem(Kind::TileCountTooLarge, "the tile count is " + std::to_string(*how.tileCount) +
                                                                     ", and the picture holds " + Tiles(held) + " (" +
                                                                     std::to_string(across) + " a row at zoom " +
                                                                     std::to_string(zoom) + ")");
      many.zoom = zoom, many.tileCount = *how.tileCount, many.tilesHeld = held;
      return Fail(many);
    }
    count = *how.tileCount, imported.countFrom = ReadingChoice::Given;
  } else if (layout) {
    count = layout->tiles, imported.countFrom = ReadingChoice::Layout;
  } else if (how.expectedTiles && *how.expectedTiles <= held && held - *how.expectedTiles < across &&
             BlankFrom(imported.tiles, *how.expectedTiles)) {
    count = *how.expectedTiles, imported.countFrom = ReadingChoice::Expected;
  }
  if (!BlankFrom(imported.tiles, count)) {
    PictureWarning leftOut{PictureWarning::Kind::TilesLeftOut, "the picture's tiles past the first " + std::to_string(count) +
                                                                 " (of " + std::to_string(held) + ") are not all blank: they were left out"};
    leftOut.count = count, leftOut.held = held;
    imported.warnings.push_back(std::move(leftOut));
  }
  if (imported.countFrom == ReadingChoice::Picture) {
    while (imported.blankTilesAtEnd < across && BlankFrom(imported.tiles, held - imported.blankTilesAtEnd - 1))
      ++imported.blankTilesAtEnd;
  }
  imported.tiles.resize(count * 32);
  imported.warnings.insert(imported.warnings.begin(), notes.begin(), notes.end());
  imported.zoom = zoom, imported.zoomFrom = zoomFrom, imported.tileCount = count, imported.layout = layout;
  return std::move(imported);
}


}  // namespace quarvel
