#include "app/cli_options.h"

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
      "Example:\n"
      "  quarvel-cli extract sonic.bin blocks --catalogue \"Sonic 1\"\n"
      "Without --catalogue, the catalogue of the ROM that 'quarvel-cli info' names is used, and said which.");
  command->add_option("ROM", a.rom, "ROM image to read, or - for standard input (or --rom)");
  command->add_option("OUT_DIR", a.data, "Folder for the decoded files, made when missing (or --out-dir)");
  command->add_option("--rom", a.romOption, "The same as ROM")->type_name("ROM");
  command->add_option("--out-dir", a.outDirOption, "The same as OUT_DIR")->type_name("OUT_DIR");
  command->add_option("--catalogue", a.catalogue, "ROM name or catalogue file name (default: the ROM image's own)")
      ->type_name("CATALOGUE");
  AddCatalogueFolder(*command, a.catalogueFolder);
  return {command, [&a](const cli::Streams& s) {
            using Operand = std::tuple<std::string*, const std::string*, const char*>;
            for (const auto& [operand, option, names] :
                 {Operand{&a.rom, &a.romOption, "ROM and --rom"}, Operand{&a.data, &a.outDirOption, "OUT_DIR and --out-dir"}}) {
              if (!operand->empty() && !option->empty() && *operand != *option)
                return s.Error(std::string(names) + " name two things ('" + *operand + "' and '" + *option + "'): give one",
                               cli::kUsage);
              if (operand->empty()) *operand = *option;
            }
            if (a.rom.empty() || a.data.empty())
              return s.Error(std::string("extract needs ") + (a.rom.empty() ? "a ROM image (ROM or --rom)" : "a folder (OUT_DIR or --out-dir)") +
                                 "\nRun 'quarvel-cli extract --help' for its options.",
                             cli::kUsage);
            return cli::Extract(Folder(a), a.catalogue, a.rom, a.data, s);
          }};
}

int Extract(const CatalogueLocation& folder, const std::string& name, const std::string& rom,
            const std::string& outDir, const Streams& streams) {
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
  ExtractCatalogue(read, catalogue->load.entries, PathFromUtf8(outDir), {&protect, LinkRule::Refuse, false},
                   [&](const EntryExtraction& done) {
    std::string step = "[";
    step.append(std::to_string(done.number)).append("/").append(std::to_string(total)).append("] ");
    if (!done.result || !*done.result) {
      failed.push_back(done.number);
      step.append("entry '").append(done.entry).append("': ");
      streams.Error(step + (done.result ? done.result->error().message
                                        : std::string("not an entry of the form 'OOOOOOOO - <K> - description'")),
                    kFailure);
      return;
    }
    const Extraction& extraction = **done.result;
    streams.Report(streams.out) << step << PathToUtf8(done.file) << ": " << extraction.decodedSize << " bytes\n";
    for (const auto& warning : extraction.warnings) streams.Warning(step + warning);
    streams.out.flush();
  });

  std::ostream& summary = streams.Report(streams.out);
  summary << total << (total == 1 ? " entry: " : " entries: ") << total - failed.size() << " extracted, "
              << failed.size() << " failed";
  for (std::size_t i = 0; i < failed.size(); ++i) summary << (i == 0 ? " (entry " : ", ") << failed[i];
  summary << (failed.empty() ? "\n" : ")\n");
  return failed.empty() ? kSuccess : kFailure;
}

}  // namespace quarvel::cli
