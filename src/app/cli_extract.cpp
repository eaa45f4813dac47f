#include "app/cli_options.h"

#include <map>

#include "app/cli_batch.h"
#include "app/cli_io.h"
#include "catalogue/catalogue_extract.h"

namespace quarvel::cli {

namespace {

// The catalogue of the ROM that `rom` (read from `romArg`) is, said on standard error; a
// usage error naming --catalogue when it is none the catalogues know.
Expected<std::string, int> IdentifiedCatalogue(const RomInput& rom, const std::string& romArg, const Streams& streams) {
  const auto image = rom.Whole();
  if (!image) return Fail(streams.Error("cannot read '" + romArg + "' whole", kFailure));
  const RomIdentity identity = IdentifyRom(*image);
  if (!identity.rom) {
    return Fail(streams.Error("no catalogue fits '" + romArg + "' (see 'quarvel-cli info'): name one with --catalogue; the "
                              "catalogues are " + KnownCatalogues(), kUsage));
  }
  std::string why;
  switch (identity.how) {
    case RomIdentity::How::Exactly: why = "this very image"; break;
    case RomIdentity::How::Probably: why = "probably this image (its serial, size and stored checksum)"; break;
    case RomIdentity::How::Changed: {
      const auto [changed, inPlace] = ChangedRom(identity, *image);
      why = changed + ", " + inPlace;
      break;
    }
    case RomIdentity::How::Unknown: break;
  }
  const auto catalogue = FindRomCatalogue(identity.rom->baseName);
  streams.Report(streams.err) << "quarvel-cli: using the catalogue '" << catalogue->listText << "' ("
                              << catalogue->baseName << "): " << why << '\n';
  return std::string(catalogue->baseName);
}

}  // namespace

Command AddExtract(CLI::App& app, Arguments& a) {
  CLI::App* command = app.add_subcommand("extract", "Decode every block that a catalogue lists, each into its own file");
  command->footer(
      "Examples:\n"
      "  quarvel-cli extract sonic.bin blocks --catalogue \"Sonic 1\"\n"
      "  quarvel-cli extract --out-dir blocks hacks/\n"
      "Without --catalogue, the catalogue of the ROM that 'quarvel-cli info' names is used, and said which.\n"
      "Several ROM images (or folders of them) go with --out-dir, each into a subfolder named after it (its file\n"
      "name without the extension).");
  command->add_option("ROM", a.batch.operands,
                      "ROM images to read (several, or folders of them, with --out-dir), or - for standard input (or "
                      "--rom); then OUT_DIR, a folder for the decoded files, made when missing (or --out-dir)");
  command->add_option("--rom", a.romOption, "A ROM image, the same as ROM")->type_name("ROM");
  command->add_option("--out-dir", a.outDirOption, "The same as OUT_DIR")->type_name("OUT_DIR");
  command->add_option("--catalogue", a.catalogue, "ROM name or catalogue file name (default: the ROM image's own)")
      ->type_name("CATALOGUE");
  command->add_flag("--recursive,-R", a.batch.recursive, "Take the files of a folder's subfolders too");
  command->add_option("--jobs,-j", a.batch.jobs, "Work on N ROM images at once (default: one a processor)")
      ->type_name("N")
      ->check(CLI::Range(1, 1024));
  AddJson(*command, a.json,
          R"({"format_version": 1, "rom", "catalogue", "out_dir", "entries": [...], "extracted", "failed"} a ROM image)");
  AddCatalogueFolder(*command, a.catalogueFolder);
  return {command, [&a](const cli::Streams& s) {
            std::vector<std::string> roms = a.batch.operands;
            std::string outDir = a.outDirOption;
            if (!outDir.empty() && !roms.empty() && roms.back() == outDir && (roms.size() > 1 || !a.romOption.empty()))
              roms.pop_back();  // OUT_DIR and --out-dir, the same folder named twice
            if (outDir.empty() && !roms.empty() && (roms.size() > 1 || !a.romOption.empty())) {
              outDir = roms.back();
              roms.pop_back();
            }
            if (!a.romOption.empty()) {
              for (const auto& rom : roms)
                if (rom != a.romOption)
                  return s.Error("ROM and --rom name two things ('" + rom + "' and '" + a.romOption + "'): give one",
                                 cli::kUsage);
              roms = {a.romOption};
            }
            if (roms.empty() || outDir.empty())
              return s.Error(std::string("extract needs ") + (roms.empty() ? "a ROM image (ROM or --rom)" : "a folder (OUT_DIR or --out-dir)") +
                                 "\nRun 'quarvel-cli extract --help' for its options.",
                             cli::kUsage);
            const auto inputs = InputsOf(roms, a.batch.recursive);
            const bool several = inputs.size() > 1;
            if (several && a.outDirOption.empty())
              return s.Error("extract takes several ROM images only with --out-dir DIR (a subfolder each)", cli::kUsage);
            // Several: a subfolder each, named after the ROM image.
            std::map<std::string, std::string> folders;
            for (const auto& input : inputs) {
              if (!several || !input.problem.empty()) continue;
              if (input.name == "-") return s.Error("several ROM images are extracted from files only, not '-'", cli::kUsage);
              const std::string stem = PathToUtf8(PathFromUtf8(input.name).stem());
              for (const auto& [rom, folder] : folders)
                if (folder == stem)
                  return s.Error("'" + rom + "' and '" + input.name + "' would both be extracted into the folder '" +
                                     stem + "'", cli::kUsage);
              folders[input.name] = stem;
            }
            const CatalogueLocation catalogues = Folder(a);
            std::vector<std::string> all;  // none is written over by another's extraction
            for (const auto& input : inputs) all.push_back(input.name);
            return ForEachInput(inputs, a.batch.jobs, {.titled = true}, WithJson(s, a.json),
                                [&](const std::string& rom, const Streams& one) {
                                  const std::string into =
                                      several ? PathToUtf8(PathFromUtf8(outDir) / PathFromUtf8(folders.at(rom))) : outDir;
                                  return cli::Extract(catalogues, a.catalogue, rom, into, one, all);
                                });
          }};
}

int Extract(const CatalogueLocation& folder, const std::string& name, const std::string& rom,
            const std::string& outDir, const Streams& streams, const std::vector<std::string>& otherRoms) {
  if (outDir == "-") {
    return streams.Error("extract writes a file for each block into a folder, not to standard output: name a folder "
                         "('./-' for one named '-')", kUsage);
  }
  // A catalogue named is read before the ROM image; else the image names it.
  const auto readCatalogue = [&](const std::string& named) -> Expected<ReadCatalogueFile, int> {
    auto read = ReadCatalogue(folder, named, streams);
    if (read && read->load.status == CatalogueLoad::Status::Missing)
      return Fail(streams.Error("there is no catalogue file '" + PathToUtf8(read->path) + "'", kFailure));
    return read;
  };
  std::optional<ReadCatalogueFile> catalogue;
  if (!name.empty()) {
    auto read = readCatalogue(name);
    if (!read) return read.error();
    catalogue = std::move(*read);
  }
  ProtectedFiles protect = CataloguesProtected(folder);
  for (const auto& other : otherRoms)
    if (other != "-") protect.Add(PathFromUtf8(other), "a ROM image being extracted");
  const auto input = RomInput::Open(rom, protect, streams);
  if (!input) return input.error();
  if (!catalogue) {
    const auto identified = IdentifiedCatalogue(*input, rom, streams);
    if (!identified) return identified.error();
    auto read = readCatalogue(*identified);
    if (!read) return read.error();
    catalogue = std::move(*read);
  }
  if (const int checked = CheckStandardOutput(protect, streams); checked != kSuccess) return checked;
  const RomReader read = [&input](Format format, std::int64_t offset) { return input->Read(format, offset); };
  std::error_code error;
  std::filesystem::create_directories(PathFromUtf8(outDir), error);
  if (error) return streams.Error("cannot create the folder '" + outDir + "': " + error.message(), kFailure);
  RemoveAbandonedTemporaryFiles(PathFromUtf8(outDir));

  const std::size_t total = catalogue->load.entries.size();
  std::vector<std::size_t> failed;
  Json entries = Json::array();
  ExtractCatalogue(read, catalogue->load.entries, PathFromUtf8(outDir), {&protect, LinkRule::Refuse, false},
                   [&](const EntryExtraction& done) {
    std::string step = "[";
    step.append(std::to_string(done.number)).append("/").append(std::to_string(total)).append("] ");
    Json entry = {{"number", done.number}, {"entry", done.entry}, {"file", nullptr}, {"decoded_size", nullptr},
                  {"error", nullptr}};
    if (!done.result || !*done.result) {
      const std::string problem = done.result ? done.result->error().message
                                              : "not an entry of the form 'OOOOOOOO - <K> - description'";
      failed.push_back(done.number);
      entry["error"] = problem;
      entries.push_back(std::move(entry));
      streams.Error(step + "entry '" + done.entry + "': " + problem, kFailure);
      return;
    }
    const Extraction& extraction = **done.result;
    entry["file"] = PathToUtf8(done.file);
    entry["decoded_size"] = extraction.decodedSize;
    entries.push_back(std::move(entry));
    if (!streams.jsonOut)
      streams.Report(streams.out) << step << PathToUtf8(done.file) << ": " << extraction.decodedSize << " bytes\n";
    for (const auto& warning : extraction.warnings) streams.Warning(step + warning);
    streams.out.flush();
  });

  if (streams.jsonOut) {
    Json json = JsonObject(1);
    json["rom"] = rom;
    json["catalogue"] = catalogue->baseName;
    json["out_dir"] = outDir;
    json["entries"] = std::move(entries);
    json["extracted"] = total - failed.size();
    json["failed"] = failed.size();
    streams.JsonReport(json);
    return failed.empty() ? kSuccess : kFailure;
  }
  std::ostream& summary = streams.Report(streams.out);
  summary << total << (total == 1 ? " entry: " : " entries: ") << total - failed.size() << " extracted, "
              << failed.size() << " failed";
  for (std::size_t i = 0; i < failed.size(); ++i) summary << (i == 0 ? " (entry " : ", ") << failed[i];
  summary << (failed.empty() ? "\n" : ")\n");
  return failed.empty() ? kSuccess : kFailure;
}

}  // namespace quarvel::cli
