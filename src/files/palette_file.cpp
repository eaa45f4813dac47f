#include "files/palette_file.h"

#include "files/files.h"

namespace quarvel {

Expected<Palette, std::string> ReadPaletteFile(const std::filesystem::path& path) {
  const auto bytes = ReadWholeFile(path, kPaletteFileLimit);
  if (!bytes) return Fail(bytes.error().message);
  auto palette = ParseMegaDrivePalette(*bytes);
  if (!palette) return Fail("'" + PathToUtf8(path) + "' is not a palette: " + palette.error());
  return palette;
}

}  // namespace quarvel
