// Where the running program lives, outside any window toolkit.
#pragma once

#include <filesystem>

namespace quarvel {

// The folder of the running executable; from `argv0` when the system does not say.
std::filesystem::path ExecutableDirectory(const char* argv0);

}  // namespace quarvel
