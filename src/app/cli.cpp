#include "app/cli.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <map>
#include <string>

#include "decoders/formats.h"
#include "offset/offset_text.h"

namespace quarvel {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

struct DecompressArgs {
  Format format = Format::Kosinski;
  std::string offsetText;
  Radix radix = Radix::Hex;
  std::string rom;
  std::string out;
};

class Reporter {
 public:
  explicit Reporter(std::ostream& err) : err_(err) {}
  int Error(const std::string& message, int code) {
    err_ << "quarvel-cli: error: " << message << '\n';
    return code;
  }
  void Warning(const std::string& message) { err_ << "quarvel-cli: warning: " << message << '\n'; }

 private:
  std::ostream& err_;
};

// The last byte of a block that a copy from before its start stopped.
std::uint64_t StopPosition(std::int32_t offset, std::uint64_t compressedSize) {
  return static_cast<std::uint64_t>(offset) + compressedSize - 1;
}

void WarnCopyBeforeStart(Reporter& report, std::uint64_t position, std::size_t decodedSize) {
  report.Warning("a copy at stream byte " + HexOffset(position) +
                 " reaches before the start of the output; decoding stopped there with " +
                 std::to_string(decodedSize) + " bytes");
}

int RunDecompress(const DecompressArgs& args, std::ostream& out, Reporter& report) {
  const auto offset = ParseOffsetText(args.offsetText, args.radix);
  if (!offset) return report.Error(DescribeOffsetTextError(offset.error(), args.offsetText, args.radix), kUsage);

  const std::filesystem::path rom(args.rom);
  if (args.out == "-") {
    const auto block = ReadBlock(args.format, rom, *offset);
    if (!block) {
      if (block.error().kind == DecodeErrorKind::CopyBeforeStart) WarnCopyBeforeStart(report, block.error().position, 0);
      return report.Error(block.error().message, kFailure);
    }
    if (block->stoppedAtCopyBeforeStart)
      WarnCopyBeforeStart(report, StopPosition(*offset, block->compressedSize), block->bytes.size());
    out.write(reinterpret_cast<const char*>(block->bytes.data()), static_cast<std::streamsize>(block->bytes.size()));
    out.flush();
    return out ? kSuccess : report.Error("cannot write the decoded bytes to standard output", kFailure);
  }

  const auto result = Decompress(args.format, rom, std::filesystem::path(args.out), *offset);
  if (!result) {
    if (result.error().kind == DecodeErrorKind::CopyBeforeStart) WarnCopyBeforeStart(report, result.error().position, 0);
    return report.Error(result.error().message, kFailure);
  }
  if (result->stoppedAtCopyBeforeStart)
    WarnCopyBeforeStart(report, StopPosition(*offset, result->compressedSize), result->decodedSize);
  return kSuccess;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Quarvel Descompressor: extracts Kosinski and Nemesis compressed blocks from Mega Drive ROM images.",
               "quarvel-cli"};
  app.set_version_flag("--version", "quarvel-cli 2.00");
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "  quarvel-cli decompress --format nemesis --offset 107184 --radix dec sonic.bin - > tiles.dat\n"
      "\n"
      "Exit status: 0 on success, 1 when the work failed, 2 when the arguments are wrong.");

  DecompressArgs decompress;
  CLI::App* decompressCommand = app.add_subcommand(
      "decompress", "Decode the block at an offset of a ROM image into a file ('-' for standard output)");
  decompressCommand->footer(
      "Example:\n"
      "  quarvel-cli decompress --format kosinski --offset 1A2B0 sonic.bin level.dat\n"
      "The ROM image is only read. OUT is replaced whole once the block has decoded, and left as it was on failure.");
  const std::map<std::string, Format> formats{{"kosinski", Format::Kosinski}, {"nemesis", Format::Nemesis}};
  const std::map<std::string, Radix> radixes{{"hex", Radix::Hex}, {"dec", Radix::Dec}};
  decompressCommand->add_option("--format,-f", decompress.format, "Compression format: kosinski or nemesis")
      ->required()
      ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case));
  decompressCommand
      ->add_option("--offset,-o", decompress.offsetText,
                   "Offset of the block's first byte, in the radix of --radix (no 0x prefix)")
      ->required();
  decompressCommand->add_option("--radix,-r", decompress.radix, "Radix of the offset: hex (default) or dec")
      ->transform(CLI::CheckedTransformer(radixes, CLI::ignore_case));
  decompressCommand->add_option("ROM", decompress.rom, "ROM image to read")->required();
  decompressCommand->add_option("OUT", decompress.out, "File to write, or - for standard output")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? kSuccess : kUsage;
  }

  Reporter report(err);
  return RunDecompress(decompress, out, report);
}

}  // namespace quarvel
