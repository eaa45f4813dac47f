// Mega Drive palette files.
#pragma once

#include <filesystem>
#include <string>

#include "common/expected.h"
#include "preview/tile_image.h"

namespace quarvel {

// The palette that the file `path` holds (see ParseMegaDrivePalette), or why it holds
// none, naming the file.
Expected<Palette, std::string> ReadPaletteFile(const std::filesystem::path& path);

}  // namespace quarvel
