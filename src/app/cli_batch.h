// Commands that take many inputs: the files that files and folders name, worked on in
// parallel, each input's output printed in the inputs' order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/cli_io.h"

namespace quarvel::cli {

struct BatchArgs {
  std::vector<std::string> operands;  // files, folders, and "-" for standard input
  bool recursive = false;             // a folder's subfolders too
  unsigned jobs = 0;                  // inputs worked on at once; 0: one a processor
};

// How each input's output is shown.
struct BatchReport {
  int formatVersion = 1;         // of the JSON objects
  const char* inputKey = "rom";  // the JSON key that names the input
  bool titled = false;           // text: under the input's name ("NAME:"), when there are several
  bool jsonToErr = false;        // the JSON goes to standard error, as the data goes to standard output
};

// The inputs that `operands` name: each file (or "-") as it is, and each folder's regular
// files in the order of their names, with `recursive` its subfolders' too.
struct Input {
  std::string name;
  std::string problem;  // why a folder named gave nothing, when it did
};
std::vector<Input> InputsOf(const std::vector<std::string>& operands, bool recursive);

using InputWork = std::function<int(const std::string& input, const Streams& streams)>;

// Runs `work` on each input, up to `jobs` at once (0: one a processor), each on its own streams; prints
// their output in the inputs' order, one input's failure not stopping the others. With
// several at once, each input's own work takes one thread. With --json (`streams.jsonOut`),
// an input that fails without a report has one line {"format_version", <inputKey>, "error"}.
// Returns the highest exit status of the inputs.
int ForEachInput(const std::vector<Input>& inputs, unsigned jobs, const BatchReport& report, const Streams& streams,
                 const InputWork& work);

// `work` on the one input of a command that takes one, reported as ForEachInput reports.
int ForTheInput(const std::string& input, const BatchReport& report, const Streams& streams, const InputWork& work);

}  // namespace quarvel::cli
