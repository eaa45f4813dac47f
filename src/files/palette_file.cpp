#include "files/palette_file.h"

#include "files/files.h"

namespace quarvel {

Expected<std::vector<Palette>, std::string> ReadPaletteFile(const std::filesystem::path& path, bool named) {
  // One byte past the largest palette tells a larger file, which is weighed as one.
  const auto bytes = named ? ReadWholeFile(path, kPaletteFileLimit + 1) : ReadRegularFile(path, kPaletteFileLimit + 1);
  const bool tooLarge = !bytes && bytes.error().code == std::errc::file_too_large;
  if (!bytes && !tooLarge) return Fail(bytes.error().message);
  auto palette = ParseMegaDrivePaletteLines(tooLarge ? std::vector<std::uint8_t>(kPaletteFileLimit + 1) : *bytes);
  if (!palette) {
    std::string message(1, '\'');
    message.append(PathToUtf8(path)).append("' is not a palette: ").append(palette.error());
    if (tooLarge) message.replace(message.rfind("this one has"), std::string::npos, "this one has more");
    return Fail(std::move(message));
  }
  return palette;
}

}  // namespace quarvel
