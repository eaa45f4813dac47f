// Runs quarvel-cli in the test process, capturing what it prints.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"

namespace quarvel::testing {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

inline CliRun RunCliWith(std::vector<std::string> args, Terminals terminals = {}) {
  args.insert(args.begin(), "quarvel-cli");
  std::vector<const char*> argv;
  for (const auto& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, terminals);
  return {code, out.str(), err.str()};
}

}  // namespace quarvel::testing
