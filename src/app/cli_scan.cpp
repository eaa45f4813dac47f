#include "app/cli_options.h"

#include <cstdio>

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "catalogue/entry.h"
#include "report/report_json.h"

namespace quarvel::cli {

namespace {

// The blocks a scan found, as one JSON object.
Json ScanJson(const std::vector<ScanCandidate>& found, const std::string& rom, std::size_t size) {
  Json blocks = Json::array();
  for (const auto& c : found) blocks.push_back(ScanCandidateJson(c));
  Json result = JsonObject(2);
  result["rom"] = rom;
  result["size"] = size;
  result["blocks"] = std::move(blocks);
  return result;
}

}  // namespace

Command AddScan(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("scan", "List the offsets where plausible compressed blocks start");
  command->footer(
      "Example:\n"
      "  quarvel-cli scan sonic.bin --format nemesis --json\n"
      "Every offset is tried. A Kosinski block must reach its end marker with no copy from before its start\n"
      "and decode to 32 bytes or more; a Nemesis block must have a well-formed code table and decode every\n"
      "tile through codes it defines; a Kosinski Moduled block, modules of 4096 bytes that are Kosinski blocks;\n"
      "an Enigma block, a plausible header and entries as an encoder writes them up to its end entry; a Saxman\n"
      "song, a size and a stream of it with no command an encoder would not write. A block that is the games'\n"
      "own output weighs 1; any other but a song is listed under 0.5 at an odd offset, where the games never\n"
      "put one, and so is a Kosinski or Enigma block of fewer than 128 bytes. Of overlapping\n"
      "candidates the games' own output is listed, else one of confidence 0.5 or more, else the first.");
  AddInputs(*command, a.batch, "ROM", "ROM images to scan");
  std::vector<std::string> choices = FormatWords();
  choices.emplace_back("all");
  command->add_option("--format,-f", a.scanFormat, FormatNames() + " (" + ShortNames() + "), or all (default)")
      ->type_name(Joined(choices))
      ->transform(FormatWord(FormatWords(), {"all", "both"}));
  AddJson(*command, a.json, R"({"format_version": 2, "rom", "size", "blocks": [...]})");
  command->add_option("--add-to", a.scan.addTo,
                      "Add the blocks found to this catalogue (ROM name or file name), but for those it lists")
      ->type_name("CATALOGUE");
  command->add_option("--min-confidence", a.scan.minConfidence, "The least confidence of a block to add (default 0.5)")
      ->check(CLI::Range(0.0, 1.0));
  AddCatalogueFolder(*command, a.catalogueFolder);
  return {command, [&a](const cli::Streams& s) {
    const FormatInfo* only = FormatNamed(a.scanFormat);
    const FormatSet formats = only != nullptr ? FormatSet{only->format} : FormatSet::All();
    const auto inputs = InputsOf(a.batch.operands, a.batch.recursive);
    if (!a.scan.addTo.empty() && (inputs.size() != 1 || !inputs.front().problem.empty()))
      return s.Error("--add-to takes one ROM image", kUsage);
    const CatalogueLocation catalogues = Folder(a);
    return ForEachInput(inputs, a.batch.jobs, {.formatVersion = 2, .titled = true}, WithJson(s, a.json),
                        [&](const std::string& rom, const Streams& one) {
                          return cli::Scan(rom, formats, a.scan, catalogues, one);
                        });
  }};
}

int Scan(const std::string& romArg, FormatSet formats, const ScanArgs& args, const CatalogueLocation& catalogues,
         const Streams& streams) {
  if (!args.addTo.empty()) {
    if (const auto base = CatalogueBaseName(args.addTo, streams); !base) return base.error();
    if (catalogues.folder.empty()) return streams.Error(catalogues.problem, kFailure);
  }
  ProtectedFiles inputs;
  const auto rom = ReadRom(romArg, inputs, streams);
  if (!rom) return rom.error();
  ProtectedFiles protect = inputs;
  ProtectCatalogues(protect, catalogues);
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  if (!args.addTo.empty()) {  // before the work, as for any file a command writes
    const auto base = FindRomCatalogue(args.addTo)->baseName;
    if (auto refusal = inputs.Refusal(CatalogueToWrite(catalogues, base))) return streams.Error(*refusal, kFailure);
  }

  ScanProgress progress;
  const bool drawn = streams.errIsTerminal && !streams.quiet;
  if (drawn) {
    progress = [&streams, shown = std::make_shared<std::uint64_t>(101)](std::uint64_t done, std::uint64_t total) {
      const std::uint64_t percent = total == 0 ? 100 : done * 100 / total;
      if (percent == *shown) return true;  // redrawn only when its figure changes
      *shown = percent;
      const int width = 40;
      const auto filled = static_cast<int>(percent * width / 100);
      streams.err << "\rScanning [" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << percent << "%" << std::flush;
      return true;
    };
  }
  const auto found = ScanRom(*rom, {formats, streams.threads}, progress);
  if (drawn) streams.err << "\r" << std::string(60, ' ') << "\r" << std::flush;
  if (!found) return streams.Error(found.error().message, kFailure);

  if (streams.jsonOut) {
    streams.JsonReport(ScanJson(*found, romArg, rom->size()));
  } else {
    char line[160];
    streams.out << "offset      format            decoded   tiles  compressed  confidence  games' own\n";
    for (const auto& c : *found) {
      const std::string tiles = InfoOf(c.format).tiles ? std::to_string(c.decodedSize / kTileBytes) : "-";
      std::snprintf(line, sizeof line, "%-10s  %-16s  %7zu  %6s  %10llu  %10.2f  %s\n", HexOffset(c.offset).c_str(),
                    std::string(FormatName(c.format)).c_str(), c.decodedSize, tiles.c_str(),
                    static_cast<unsigned long long>(c.compressedSize), c.confidence, c.gamesOwn ? "yes" : "-");
      streams.out << line;
    }
  }
  if (args.addTo.empty()) return kSuccess;
  return EditCatalogue(catalogues, args.addTo, streams, [&](std::vector<std::string>& entries) {
    std::size_t added = 0;
    for (const auto& c : *found) {
      const auto offset = static_cast<std::int32_t>(c.offset);
      if (c.confidence < args.minConfidence || Lists(entries, offset, c.format)) continue;
      if (entries.size() >= kMaxCatalogueEntries)
        return streams.Error("the catalogue is full: it holds " + std::to_string(kMaxCatalogueEntries) + " entries",
                             kFailure);
      entries.push_back(FormatEntry(offset, c.format, ScanEntryDescription(c)));
      ++added;
    }
    streams.Report(streams.err) << "quarvel-cli: added " << added << (added == 1 ? " block" : " blocks") << " to the catalogue '"
                << FindRomCatalogue(args.addTo)->listText << "'\n";
    return kSuccess;
  }, &inputs);
}

}  // namespace quarvel::cli
