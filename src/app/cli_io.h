// What every command of quarvel-cli does with its inputs and outputs: reading a ROM
// image or a file, checking that an output may be written, writing it, and reporting.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_json.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/rom_names.h"
#include "common/expected.h"
#include "decoders/decoded_block.h"
#include "files/extraction.h"
#include "files/files.h"
#include "files/rom_file.h"
#include "formats/format_table.h"
#include "offset/offset_text.h"
#include "rom/rom_identity.h"
#include "rom/rom_image.h"
#include "rom/rom_layout.h"

namespace quarvel::cli {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

// Where a command writes: `out` for data and listings, `err` for errors, warnings and
// progress.
struct Streams {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // then long work draws a progress bar on `err`
  bool quiet = false;          // --quiet: no reports of what was done, no progress
  bool outIsTerminal = false;  // then the text of the user's files is shown with its control characters escaped
  std::ostream* jsonOut = nullptr;   // with --json: where the command's JSON report goes
  std::string* lastError = nullptr;  // when set, takes the message of each error
  unsigned threads = 0;              // the threads one input's work may take; 0: one a processor

  int Error(const std::string& message, int code) const;
  void Warning(const std::string& message) const;
  // Where a report of what was done goes: `to`, or nowhere when quiet.
  std::ostream& Report(std::ostream& to) const;
  // Writes `report` as a line of --json's output; nothing without --json.
  void JsonReport(const Json& report) const;
};

struct OffsetArg {
  std::string text;
  Radix radix = Radix::Hex;
};

// The offset in the radix of --radix; "0x" in front makes it hexadecimal, as the tool
// prints offsets.
Expected<std::int32_t, int> ParseOffset(const OffsetArg& offset, const Streams& streams);

// The decoded block, after its warnings; or the exit status after the error when it
// could not be decoded.
Expected<DecodedBlock, int> Decoded(DecodeResult<DecodedBlock> block, const Streams& streams);

// UTF-8 text as a terminal may show it: each control character (C0, DEL, C1), which a
// terminal would obey, written as \xHH or \u00HH.
std::string ControlsEscaped(std::string_view text);

// The catalogues: no command writes its output over one of them.
ProtectedFiles CataloguesProtected(const CatalogueLocation& folder);

inline constexpr std::string_view kRomLimitReason = "a ROM image is read up to 64 MiB";

// The message of a failure to read an input, with why a larger one is refused when it was too large.
std::string WithLimitReason(const FileFailure& failure, std::string_view limitReason);

// Reads the input `name` ("-": standard input) of at most `limit` bytes, and protects
// it as `what` from what the command writes. `limitReason` tells why a larger input is
// refused.
Expected<std::vector<std::uint8_t>, int> ReadInput(const std::string& name, std::uint64_t limit,
                                                   std::string_view limitReason, ProtectedFiles& protect,
                                                   std::string what, const Streams& streams);

// Says, once, how a ROM image file that is not plain is read.
void SayLayout(const std::string& name, RomLayout layout, const Streams& streams);

// A whole ROM image, "-" for standard input, of at most kRomImageLimit bytes: the plain
// image of an interleaved dump, said so (and how the file held it, in `layout`).
Expected<std::vector<std::uint8_t>, int> ReadRom(const std::string& name, ProtectedFiles& protect,
                                                 const Streams& streams, RomLayout* layout = nullptr);

// What a command that writes a new ROM image says of one read from an interleaved dump.
void SayPlainWritten(RomLayout layout, std::ostream& report);

// The ROM image a command reads: a file, read only as far as a block goes, or standard
// input ("-"), read whole. Either is protected from what the command writes.
class RomInput {
 public:
  static Expected<RomInput, int> Open(const std::string& name, ProtectedFiles& protect, const Streams& streams);

  DecodeResult<DecodedBlock> Read(Format format, std::int64_t offset) const { return Read(CodecOf(format).decode, offset); }
  DecodeResult<DecodedBlock> Read(const SourceDecoder& decode, std::int64_t offset) const;

  // The whole image (read now, for a file); nothing when the file cannot be read.
  std::optional<std::vector<std::uint8_t>> Whole() const;

 private:
  std::vector<std::uint8_t> bytes_;
  std::unique_ptr<RomFile> file_;
};

// Checks, before anything is printed, that standard output is none of the files that
// `protect` holds (as a shell's ">>rom.bin" would make it).
int CheckStandardOutput(const ProtectedFiles& protect, const Streams& streams);

// Checks, before any work, that `out` may be written ("-": standard output), and that
// standard output may be.
int CheckOutput(const std::string& out, const ProtectedFiles& protect, const Streams& streams);

// Writes `bytes` to standard output for "-", else replaces the file `out` whole.
int Write(std::span<const std::uint8_t> bytes, const std::string& out, const ProtectedFiles& protect,
          const Streams& streams);

std::string KnownCatalogues();

// The catalogue that `name` names, by ROM name or file name.
Expected<std::string_view, int> CatalogueBaseName(const std::string& name, const Streams& streams);

struct ReadCatalogueFile {
  std::string_view baseName;
  std::filesystem::path path;
  CatalogueLoad load;  // Loaded or Missing
};

// The catalogue that `name` names, read from where it is; an error when it cannot be read.
Expected<ReadCatalogueFile, int> ReadCatalogue(const CatalogueLocation& folder, const std::string& name,
                                               const Streams& streams);

// Changes the catalogue `name` with `change`, under its lock, and saves it, unless it is
// one of the files `inputs` that the command reads.
template <class Change>
int EditCatalogue(const CatalogueLocation& folder, const std::string& name, const Streams& streams, Change change,
                  const ProtectedFiles* inputs = nullptr) {
  const auto base = CatalogueBaseName(name, streams);
  if (!base) return base.error();
  auto edit = CatalogueEdit::Begin(folder, *base);
  if (!edit) return streams.Error(edit.error().message, kFailure);
  auto entries = edit->Entries();
  if (const int changed = change(entries); changed != kSuccess) return changed;
  const auto saved = edit->Save(entries, inputs);
  return saved ? kSuccess : streams.Error(saved.error().message, kFailure);
}

// `asked`, or (nothing asked) the format whose scan weigher rates the block at `offset`
// highest, said on standard error; refused when none takes it for a block.
Expected<Format, int> ChooseFormat(std::optional<Format> asked, const RomInput& rom, std::int32_t offset,
                                   const std::string& romArg, const Streams& streams);

// "Sonic 1 (Sonic1)": the catalogue of a ROM the catalogues know.
std::string CatalogueName(const KnownRom& rom);

// "a changed Sonic 1 (revision 00)" and "178 of 179 known blocks in place", of an identity How::Changed.
std::pair<std::string, std::string> ChangedRom(const RomIdentity& identity, std::span<const std::uint8_t> image);

}  // namespace quarvel::cli
