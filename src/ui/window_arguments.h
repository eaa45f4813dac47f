// What the window program makes of its command line: `quarvel [FILE]`, `--help`, `--version`.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/expected.h"

namespace quarvel {

// What --help or --version prints (the first of them given), before anything else is
// done: no window is opened. Nothing when neither is asked for.
std::optional<std::string> ProgramInformation(const std::vector<std::string>& arguments, std::string_view version);

// The ROM to open the window with, from the arguments after the program's name that the
// toolkit left (its own options taken): at most one file, "--" before a name that starts
// with "-". Fails, naming what is wrong, for an unknown option or a second file.
Expected<std::optional<std::filesystem::path>, std::string> WindowFile(const std::vector<std::string>& arguments);

}  // namespace quarvel
