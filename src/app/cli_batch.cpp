#include "app/cli_batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <new>
#include <sstream>
#include <string_view>
#include <thread>

#include "files/files.h"

namespace quarvel::cli {
namespace {

namespace fs = std::filesystem;

// The regular files of `folder` (and of its subfolders, with `recursive`), in name order.
Input FolderFiles(const std::string& operand, bool recursive, std::vector<Input>& inputs) {
  std::vector<fs::path> files;
  std::error_code error;
  const fs::path folder = PathFromUtf8(operand);
  const auto take = [&](const fs::directory_entry& entry) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored)) files.push_back(entry.path());
  };
  if (recursive) {
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error))
      take(*it);
  } else {
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) take(*it);
  }
  if (error) return {operand, "cannot read the folder '" + operand + "': " + error.message()};
  if (files.empty()) return {operand, "the folder '" + operand + "' holds no files" + (recursive ? "" : " (--recursive takes its subfolders')")};
  std::sort(files.begin(), files.end());
  for (const auto& file : files) inputs.push_back({PathToUtf8(file), {}});
  return {};
}

// One input's work and all it printed.
struct Outcome {
  std::ostringstream out, err, json;
  std::string error;
  int code = kSuccess;
  bool done = false;
};

// What an input printed on standard error, each error and warning that does not name the
// input named by it: "quarvel-cli: error: 'b.bin': ...".
std::string Named(const std::string& err, const std::string& input) {
  std::string named;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    for (const std::string_view kind : {"quarvel-cli: error: ", "quarvel-cli: warning: "})
      if (line.starts_with(kind) && line.find(input) == std::string::npos) line.insert(kind.size(), "'" + input + "': ");
    named += line + '\n';
  }
  return named;
}

void Work(const InputWork& work, const std::string& input, const Streams& streams, Outcome& outcome) {
  try {
    outcome.code = work(input, streams);
  } catch (const std::bad_alloc&) {
    outcome.code = streams.Error("'" + input + "': out of memory", kFailure);
  } catch (const std::exception& e) {
    outcome.code = streams.Error("'" + input + "': " + e.what(), kFailure);
  }
}

}  // namespace

std::vector<Input> InputsOf(const std::vector<std::string>& operands, bool recursive) {
  std::vector<Input> inputs;
  for (const auto& operand : operands) {
    std::error_code error;
    if (operand != "-" && fs::is_directory(PathFromUtf8(operand), error)) {
      if (Input failed = FolderFiles(operand, recursive, inputs); !failed.problem.empty()) inputs.push_back(failed);
    } else {
      inputs.push_back({operand, {}});
    }
  }
  return inputs;
}

int ForEachInput(const std::vector<Input>& inputs, unsigned jobs, const BatchReport& report, const Streams& streams,
                 const InputWork& work) {
  if (std::count_if(inputs.begin(), inputs.end(), [](const Input& input) { return input.name == "-"; }) > 1)
    return streams.Error("standard input ('-') can be read only once", kUsage);
  const bool several = inputs.size() > 1;
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  const auto workers = static_cast<unsigned>(std::min<std::size_t>(jobs != 0 ? jobs : processors, inputs.size()));
  const bool json = streams.jsonOut != nullptr;
  std::ostream& jsonTarget = report.jsonToErr ? streams.err : streams.out;

  std::vector<Outcome> outcomes(inputs.size());
  // One input alone writes straight to the streams (a progress bar included); several,
  // each to its own, printed when its turn comes.
  const auto streamsOf = [&](Outcome& outcome) {
    Streams own = streams;
    own.lastError = &outcome.error;
    own.jsonOut = json ? &outcome.json : nullptr;
    own.threads = workers > 1 ? 1 : jobs;
    if (!several) return own;
    return Streams{outcome.out, outcome.err, false, streams.quiet, streams.outIsTerminal,
                   own.jsonOut, own.lastError, own.threads};
  };
  const auto run = [&](std::size_t i) {
    Outcome& outcome = outcomes[i];
    const Streams own = streamsOf(outcome);
    if (inputs[i].problem.empty())
      Work(work, inputs[i].name, own, outcome);
    else
      outcome.code = own.Error(inputs[i].problem, kFailure);
  };

  // The largest files first, so that none is left to run alone at the end.
  std::vector<std::pair<std::uintmax_t, std::size_t>> order;
  for (std::size_t i = 0; i < inputs.size() && workers > 1; ++i) {
    std::error_code error;
    const auto size = inputs[i].name == "-" ? 0 : fs::file_size(PathFromUtf8(inputs[i].name), error);
    order.emplace_back(error ? 0 : size, i);
  }
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::mutex mutex;
  std::condition_variable finished;
  std::size_t awaited = inputs.size();  // the input whose output is to be printed next
  std::atomic<std::size_t> next = 0;
  std::vector<std::jthread> pool;
  if (workers > 1) {
    for (unsigned w = 0; w < workers; ++w)
      pool.emplace_back([&] {
        for (std::size_t taken; (taken = next++) < order.size();) {
          const std::size_t i = order[taken].second;
          run(i);
          const std::lock_guard lock(mutex);
          outcomes[i].done = true;
          if (i == awaited) finished.notify_one();  // the printing thread waits for no other
        }
      });
  }

  // On a terminal, how many inputs are done, until the next one's output is printed.
  const bool drawn = several && streams.errIsTerminal && !streams.quiet;
  const auto progress = [&](std::size_t done) {
    if (drawn) streams.err << "\r" << done << " of " << inputs.size() << " done" << std::flush;
  };
  const auto clearProgress = [&] {
    if (drawn) streams.err << "\r" << std::string(40, ' ') << "\r" << std::flush;
  };
  int worst = kSuccess;
  bool titledBefore = false;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Outcome& outcome = outcomes[i];
    progress(i);
    if (workers > 1) {
      std::unique_lock lock(mutex);
      awaited = i;
      finished.wait(lock, [&] { return outcome.done; });
    } else {
      run(i);
    }
    clearProgress();
    worst = std::max(worst, outcome.code);
    streams.err << Named(outcome.err.str(), inputs[i].name);
    const std::string out = outcome.out.str();
    if (report.titled && several && !out.empty()) {
      streams.out << (titledBefore ? "\n" : "") << inputs[i].name << ":\n";
      titledBefore = true;
    }
    streams.out << out;
    if (json && outcome.json.view().empty() && outcome.code != kSuccess) {
      Json failed = JsonObject(report.formatVersion);
      failed[report.inputKey] = inputs[i].name;
      failed["error"] = outcome.error;
      WriteJsonLine(outcome.json, failed);
    }
    jsonTarget << outcome.json.str() << std::flush;
    streams.out.flush();
  }
  return worst;
}

int ForTheInput(const std::string& input, const BatchReport& report, const Streams& streams, const InputWork& work) {
  return ForEachInput({{input, {}}}, 0, report, streams, work);
}

}  // namespace quarvel::cli
