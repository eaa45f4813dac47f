#include "files/palette_file.h"

#include "files/files.h"

namespace quarvel {

Expected<std::vector<Palette>, std::string> ReadPaletteFile(const std::filesystem::path& path) {
  const auto bytes = ReadWholeFile(path, kPaletteFileLimit);
  if (!bytes) return Fail(bytes.error().message);
  auto palette = ParseMegaDrivePaletteLines(*bytes);
  if (!palette) {
    std::string message(1, '\'');
    message.append(PathToUtf8(path)).append("' is not a palette: ").append(palette.error());
    return Fail(std::move(message));
  }
  return palette;
}

}  // namespace quarvel
