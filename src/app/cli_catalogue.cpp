#include "app/cli_options.h"

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "catalogue/entry.h"

namespace quarvel::cli {

Command AddCatalogue(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("catalogue", "List, add or remove the known block locations of a ROM");
  command->require_subcommand(1);
  command->footer(CatalogueNames() + "\nThe catalogue files are in the folder that 'quarvel-cli catalogue where' prints.");
  CLI::App* list = command->add_subcommand("list", "Print the entries of a catalogue, numbered from 1");
  list->footer("Example:\n  quarvel-cli catalogue list \"Sonic 1\"");
  list->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  AddJson(*list, a.json, R"({"format_version": 2, "catalogue", "file", "entries": [...]})");
  AddCatalogueFolder(*list, a.catalogueFolder);
  CLI::App* add = command->add_subcommand("add", "Add an entry at the end of a catalogue");
  add->footer("Example:\n  quarvel-cli catalogue add Sonic1 -o 1A2B0 -f kos -d \"Green Hill art\"");
  add->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  AddOffset(*add, a.offset);
  AddFormat(*add, a.formatName);
  add->add_option("--description,-d", a.description, "Free text describing the block")->type_name("TEXT");
  AddCatalogueFolder(*add, a.catalogueFolder);
  CLI::App* remove = command->add_subcommand("remove", "Remove the entry with a number that 'list' shows");
  remove->footer("Example:\n  quarvel-cli catalogue remove Sonic1 3");
  remove->add_option("CATALOGUE", a.catalogue, "ROM name or catalogue file name")->required();
  remove->add_option("NUMBER", a.number, "Number of the entry, from 1")->required();
  AddCatalogueFolder(*remove, a.catalogueFolder);
  CLI::App* where = command->add_subcommand("where", "Print the folder of the catalogue files");
  where->footer(
      "The program's folder when you may write it; for an installed program, your own data folder\n"
      "($XDG_DATA_HOME/quarvel, by default ~/.local/share/quarvel), where the catalogues shipped with the\n"
      "program are copied by your first change.");
  AddCatalogueFolder(*where, a.catalogueFolder);
  return {command, [&a, list, add, where](const cli::Streams& s) {
    if (*where) return cli::CatalogueWhere(Folder(a), s);
    if (*list) {
      return ForTheInput(a.catalogue, {.formatVersion = 2, .inputKey = "catalogue"}, WithJson(s, a.json),
                         [&a](const std::string& catalogue, const Streams& one) {
                           return cli::CatalogueList(Folder(a), catalogue, one);
                         });
    }
    if (*add) return cli::CatalogueAdd(Folder(a), a.catalogue, a.offset, a.format(), a.description, s);
    return cli::CatalogueRemove(Folder(a), a.catalogue, a.number, s);
  }};
}

int CatalogueList(const CatalogueLocation& folder, const std::string& rom, const Streams& streams) {
  const auto catalogue = ReadCatalogue(folder, rom, streams);
  if (!catalogue) return catalogue.error();
  if (const int checked = CheckStandardOutput(CataloguesProtected(folder), streams); checked != kSuccess) return checked;
  if (catalogue->load.status == CatalogueLoad::Status::Missing)
    streams.Report(streams.err) << "quarvel-cli: no catalogue file at '" << PathToUtf8(catalogue->path) << "' yet\n";
  const auto& entries = catalogue->load.entries;
  if (!streams.jsonOut) {
    for (std::size_t i = 0; i < entries.size(); ++i)
      streams.out << (i + 1) << '\t' << (streams.outIsTerminal ? ControlsEscaped(entries[i]) : entries[i]) << '\n';
    return kSuccess;
  }
  // Each entry as it stands, and what it says when it has the form FormatEntry writes.
  Json listed = Json::array();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto offset = ParseOffsetText(std::string(EntryOffsetText(entries[i])), Radix::Hex);
    const auto format = EntryFormat(entries[i]);
    Json entry = {{"number", i + 1}, {"entry", entries[i]}, {"offset", nullptr}, {"offset_hex", nullptr},
                            {"format", nullptr}, {"description", std::string(EntryDescription(entries[i]))}};
    if (offset && EntryOffsetText(entries[i]).size() == kEntryOffsetLength) {
      entry["offset"] = static_cast<std::uint32_t>(*offset);
      entry["offset_hex"] = HexOffset(static_cast<std::uint32_t>(*offset));
    }
    if (format) entry["format"] = std::string(FormatName(*format));
    listed.push_back(std::move(entry));
  }
  Json document = JsonObject(2);
  document["catalogue"] = catalogue->baseName;
  document["file"] = PathToUtf8(catalogue->path);
  document["entries"] = std::move(listed);
  streams.JsonReport(document);
  return kSuccess;
}

int CatalogueAdd(const CatalogueLocation& folder, const std::string& rom, const OffsetArg& offsetArg, Format format,
                 const std::string& description, const Streams& streams) {
  const auto offset = ParseOffset(offsetArg, streams);
  if (!offset) return offset.error();
  if (const auto problem = DescriptionProblem(description)) return streams.Error(*problem, kUsage);
  return EditCatalogue(folder, rom, streams, [&](std::vector<std::string>& entries) {
    if (entries.size() >= kMaxCatalogueEntries)
      return streams.Error("the catalogue is full: it holds " + std::to_string(kMaxCatalogueEntries) + " entries", kFailure);
    entries.push_back(FormatEntry(*offset, format, description));
    return kSuccess;
  });
}

int CatalogueRemove(const CatalogueLocation& folder, const std::string& rom, int number, const Streams& streams) {
  return EditCatalogue(folder, rom, streams, [&](std::vector<std::string>& entries) {
    if (number < 1 || static_cast<std::size_t>(number) > entries.size()) {
      return streams.Error("the catalogue '" + std::string(FindRomCatalogue(rom)->listText) + "' has " +
                               std::to_string(entries.size()) + " entries; there is no entry " + std::to_string(number),
                           kFailure);
    }
    entries.erase(entries.begin() + (number - 1));
    return kSuccess;
  });
}

int CatalogueWhere(const CatalogueLocation& folder, const Streams& streams) {
  if (folder.folder.empty()) return streams.Error(folder.problem, kFailure);
  if (const int checked = CheckStandardOutput(CataloguesProtected(folder), streams); checked != kSuccess) return checked;
  streams.out << PathToUtf8(folder.folder) << '\n';
  return kSuccess;
}

}  // namespace quarvel::cli
