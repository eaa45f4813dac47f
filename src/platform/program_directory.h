// Where the running program lives, and the user's data folder, outside any window toolkit.
#pragma once

#include <filesystem>

namespace quarvel {

// The folder of the running executable; from `argv0` when the system does not say.
std::filesystem::path ExecutableDirectory(const char* argv0);

// The tool's folder among the user's application data: $XDG_DATA_HOME/quarvel (by
// default ~/.local/share/quarvel) on Linux, ~/Library/Application Support/quarvel on
// macOS, %APPDATA%\quarvel on Windows: where Qt's AppDataLocation puts it too.
std::filesystem::path UserDataDirectory();

}  // namespace quarvel
