// The command-line tool, as a function of its arguments and output streams.
#pragma once

#include <ostream>

namespace quarvel {

// Runs quarvel-cli. Returns the exit code: 0 on success, 1 when the work failed,
// 2 when the arguments are wrong. Decoded data goes to `out` for the output "-";
// help and listings go to `out`; errors and warnings go to `err`, and so does a
// progress bar for long work when `err` is a terminal. Text of the user's files (a
// catalogue's entries) goes to a terminal `out` with its control characters escaped.
struct Terminals {
  bool out = false, err = false;
};
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals = {});

}  // namespace quarvel
