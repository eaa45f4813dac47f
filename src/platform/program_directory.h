// Where the running program lives, and the user's data folder, outside any window toolkit.
#pragma once

#include <filesystem>
#include <string_view>

namespace quarvel {

// The folder of the running executable; from `argv0` when the system does not say.
std::filesystem::path ExecutableDirectory(const char* argv0);

// The tool's folder among the user's application data: $XDG_DATA_HOME/quarvel (by
// default ~/.local/share/quarvel) on Linux, ~/Library/Application Support/quarvel on
// macOS, %APPDATA%\quarvel on Windows. Empty when the environment does not say where
// the user's home is: never a folder relative to where the program happens to run.
std::filesystem::path UserDataDirectory();

// The environment variable that says where UserDataDirectory is, for a message: "HOME".
std::string_view UserDataVariable();

}  // namespace quarvel
