#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_options.h"

namespace quarvel {
namespace {

using namespace cli;

// The number of edits that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "unknown command 'decompres'; did you mean 'decompress'?": for a word that stands
// where a command must, and is none.
std::optional<std::string> UnknownCommand(CLI::App& app, int argc, const char* const* argv) {
  CLI::App* level = &app;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.empty() || word.front() == '-') continue;
    const auto commands = level->get_subcommands([](CLI::App*) { return true; });
    if (commands.empty()) return std::nullopt;
    CLI::App* next = nullptr;
    const std::string* nearest = nullptr;
    std::size_t nearestDistance = 3;
    for (CLI::App* command : commands) {
      if (command->get_name() == word) next = command;
      const std::size_t distance = EditDistance(word, command->get_name());
      if (distance < nearestDistance) nearestDistance = distance, nearest = &command->get_name();
    }
    if (next == nullptr)
      return "unknown command '" + word + "'" + (nearest != nullptr ? "; did you mean '" + *nearest + "'?" : "");
    level = next;
  }
  return std::nullopt;
}

// Help within 80 columns: an option's value by its name (ROM, OFFSET, N), never the
// parser's own words for its type, range or being required; long texts wrapped.
class HelpFormatter : public CLI::Formatter {
 public:
  static constexpr std::size_t kWidth = 80;
  static constexpr std::size_t kColumn = 26;

  HelpFormatter() { column_width(kColumn); }

  // `text` with each line longer than kWidth - `indent` broken at blanks, continued at `indent`.
  static std::string Wrapped(const std::string& text, std::size_t indent, std::size_t first = 0) {
    std::string result, line;
    std::size_t used = first;
    std::istringstream lines(text);
    for (std::string source; std::getline(lines, source);) {
      if (!result.empty() || line.size() > 0) result += "\n" + std::string(indent, ' '), used = indent;
      std::istringstream words(source);
      bool firstWord = true;
      for (std::string word; words >> word; firstWord = false) {
        if (!firstWord && used + 1 + word.size() > kWidth) {
          result += "\n" + std::string(indent, ' ');
          used = indent;
        } else if (!firstWord) {
          result += ' ';
          ++used;
        }
        result += word;
        used += word.size();
      }
      line = source;
    }
    return result;
  }

  std::string make_option(const CLI::Option* option, bool positional) const override {
    std::string name = "  " + make_option_name(option, positional);
    if (!positional && option->get_type_size() != 0) {
      std::string type = option->get_type_name();
      type = type.substr(0, type.find(':'));
      if (type == "INT" || type == "UINT" || type == "FLOAT") type = "N";  // the parser's words for numbers
      name += " " + type;
    }
    const std::string description = option->get_description();
    if (name.size() + 1 > kColumn) return name + "\n" + std::string(kColumn, ' ') + Wrapped(description, kColumn, kColumn) + "\n";
    return name + std::string(kColumn - name.size(), ' ') + Wrapped(description, kColumn, kColumn) + "\n";
  }

  std::string make_option_usage(const CLI::Option* option) const override {
    return option->get_name(true) + (option->get_items_expected_max() > 1 ? "..." : "");
  }

  std::string make_subcommand(const CLI::App* command) const override {
    std::string name = "  " + command->get_display_name();
    name += std::string(name.size() < kColumn ? kColumn - name.size() : 1, ' ');
    return name + Wrapped(command->get_description(), kColumn, name.size()) + "\n";
  }

  std::string make_description(const CLI::App* app) const override {
    const std::string text = app->get_description();
    return text.empty() ? text : Wrapped(text, 0) + "\n";
  }

  // Examples (indented lines) as they are; the prose between them flowed again.
  std::string make_footer(const CLI::App* app) const override {
    std::string result, prose;
    const auto flush = [&] {
      if (!prose.empty()) result += Wrapped(prose, 0) + "\n";
      prose.clear();
    };
    std::istringstream lines(app->get_footer());
    for (std::string line; std::getline(lines, line);) {
      if (line.empty() || line.starts_with(" ") || line.ends_with(":")) {
        flush();
        result += line + "\n";
      } else {
        prose += (prose.empty() ? "" : " ") + line;
      }
    }
    flush();
    return result;
  }
};

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals) {
  CLI::App app{"Quarvel Descompressor: the compressed blocks of Mega Drive ROM images.\n"
               "Finds, decodes, draws, compresses and puts back Kosinski, Nemesis, Enigma, Kosinski Moduled and Saxman\n"
               "blocks.",
               "quarvel-cli"};
  app.set_version_flag("--version", "quarvel-cli " QUARVEL_VERSION);
  app.allow_windows_style_options(false);  // on Windows too: "/dir/rom.bin" is a path, not an option
  app.formatter(std::make_shared<HelpFormatter>());
  bool quiet = false;
  app.add_flag("--quiet,-q", quiet, "Report nothing but warnings and errors (no progress, no summaries), on any command");
  app.fallthrough();  // --quiet after the command's name too
  app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
    std::string command = "quarvel-cli";  // and the subcommands chosen: their --help tells their options
    for (const CLI::App* level = failed; level != nullptr && !level->get_subcommands().empty();) {
      level = level->get_subcommands().front();
      command += " " + level->get_name();
    }
    // An option no command knows is named as such, not as the required one it hid.
    std::string what = e.what();
    for (const std::string& word : failed->remaining(true))
      if (e.get_name() == "RequiredError" && word.size() > 1 && word[0] == '-' && word != "-") {
        what = "there is no option '" + word + "'";
        break;
      }
    return "quarvel-cli: error: " + what + "\nRun '" + command + " --help' for " +
           (command == "quarvel-cli" ? "the commands and options" : "its options") + ".\n";
  });
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "  quarvel-cli decompress -f nem -o 107184 --radix dec sonic.bin - > tiles.dat\n"
      "  quarvel-cli decompress -f eni -o '$3C000' --base 0x8400 sonic.bin title.map\n"
      "  quarvel-cli decompress -f sax -o EC0E8 --stream-size 0xF63 s2.bin driver.bin\n"
      "  quarvel-cli compress --format kosinski level.dat level.kos\n"
      "  quarvel-cli compress --format kosinski --accurate level.dat level.kos\n"
      "  quarvel-cli check-accurate --format nemesis art.nem\n"
      "  quarvel-cli catalogue list \"Sonic 1\"\n"
      "  quarvel-cli catalogue add Sonic1 -o 1A2B0 -f kos -d \"Green Hill art\"\n"
      "  quarvel-cli catalogue remove Sonic1 3\n"
      "  quarvel-cli extract --rom sonic.bin --catalogue \"Sonic 1\" --out-dir blocks\n"
      "  quarvel-cli scan sonic.bin --format nemesis\n"
      "  quarvel-cli preview --format nemesis --offset 24000 --zoom 2 sonic.bin art.png\n"
      "  quarvel-cli import-png art.png art.dat --palette sonic.pal\n"
      "  quarvel-cli insert -f nem -o 24000 sonic.bin art.dat sonic-new.bin\n"
      "  quarvel-cli checksum sonic-new.bin\n"
      "\n"
      "Exit status: 0 on success, 1 when the work failed, 2 when the arguments are wrong.");

  Arguments arguments;
  arguments.argv0 = argc > 0 ? argv[0] : nullptr;
  // Only the command named is declared, when one is: the others would only cost the
  // start. None for --version alone; without a name otherwise (--help, a misspelt
  // name), all of them.
  using Declare = Command (*)(CLI::App&, Arguments&);
  static constexpr std::pair<std::string_view, Declare> kCommands[] = {
      {"decompress", AddDecompress}, {"compress", AddCompress}, {"check-accurate", AddCheckAccurate},
      {"catalogue", AddCatalogue},   {"extract", AddExtract},   {"scan", AddScan},
      {"preview", AddPreview},       {"insert", AddInsert},     {"checksum", AddChecksum},
      {"info", AddInfo},             {"import-png", AddImportPng}};
  const auto* const end = argv + argc;
  const auto* const firstWord = std::find_if(argv + std::min(argc, 1), end, [](const char* w) { return w[0] != '-'; });
  const bool named = firstWord != end && std::any_of(std::begin(kCommands), std::end(kCommands),
                                                     [&](const auto& command) { return command.first == *firstWord; });
  const bool versionAlone = argc == 2 && std::string_view(argv[1]) == "--version";
  std::vector<Command> commands;
  for (const auto& [name, declare] : kCommands)
    if (named ? name == *firstWord : !versionAlone) commands.push_back(declare(app, arguments));
  if (const auto unknown = UnknownCommand(app, argc, argv)) {
    err << "quarvel-cli: error: " << *unknown << '\n';
    return cli::kUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? cli::kSuccess : cli::kUsage;
  }
  const cli::Streams streams{out, err, terminals.err, quiet, terminals.out};
  for (const auto& command : commands)
    if (*command.options) return command.work(streams);
  return cli::kUsage;
}

}  // namespace quarvel
