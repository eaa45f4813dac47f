// Mega Drive palette files.
#pragma once

#include <filesystem>
#include <string>

#include "common/expected.h"
#include "preview/tile_image.h"

namespace quarvel {

// The palette lines that the file `path` holds (see ParseMegaDrivePaletteLines), or why
// it holds none, naming the file. A palette the user did not name for this command (one
// a window remembers) must be a regular file (see ReadRegularFile).
Expected<std::vector<Palette>, std::string> ReadPaletteFile(const std::filesystem::path& path, bool named = true);

}  // namespace quarvel
