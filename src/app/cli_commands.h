// The work of each quarvel-cli command, apart from the parsing of its arguments.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "app/cli_io.h"
#include "scan/block_scan.h"

namespace quarvel::cli {

struct DecodeArgs {
  std::uint16_t base = 0;                   // added to every word of an Enigma block
  std::optional<std::uint16_t> streamSize;  // a Saxman stream without its size header, of this size
};

// The commands that write a file never write it over one of their inputs or over a
// catalogue file of `catalogues`. A format of nothing is the one whose scan weigher rates
// the block highest (said on standard error), refused when none rates it 0.5 or more.
int Decompress(std::optional<Format> format, const OffsetArg& offset, const DecodeArgs& args, const std::string& rom,
               const std::string& out, const CatalogueLocation& catalogues, const Streams& streams);

// Compresses `in` into the smallest block the format's compressor finds, or with
// `accurate` into the very bytes the games' own compressor wrote; with `streamOnly`, a
// Saxman stream without its size header.
int Compress(Format format, const std::string& in, const std::string& out, const std::optional<AccurateOptions>& accurate,
             bool streamOnly, const CatalogueLocation& catalogues, const Streams& streams);

// Says whether the block in `file` (with `streamOnly`, a Saxman stream without its size
// header) is what the games' compressor writes for what it decodes to: exit status 0
// when it is, 1 when it differs or does not decode.
int CheckAccurate(Format format, const std::string& file, bool streamOnly, const CatalogueLocation& catalogues,
                  const Streams& streams);

// Prints a catalogue's entries, numbered from 1 (with --json, as one object).
int CatalogueList(const CatalogueLocation& folder, const std::string& rom, const Streams& streams);
int CatalogueAdd(const CatalogueLocation& folder, const std::string& rom, const OffsetArg& offset, Format format,
                 const std::string& description, const Streams& streams);
// Prints the folder of the catalogue files.
int CatalogueWhere(const CatalogueLocation& folder, const Streams& streams);
int CatalogueRemove(const CatalogueLocation& folder, const std::string& rom, int number, const Streams& streams);

struct PreviewArgs {
  std::string palette;  // a Mega Drive palette file (up to four lines); empty: grey
  unsigned columns = 16;
  unsigned zoom = 1;
  std::string tiles;        // an Enigma map's tiles: 0x offset of a block of the ROM, or a file
  std::string tilesFormat;  // the format of those tiles; empty: a file as it is
  std::optional<unsigned> firstTile;  // where those tiles start in video memory; nothing: proposed
};
int Preview(std::optional<Format> format, const OffsetArg& offset, const std::string& rom, const PreviewArgs& look,
            const std::string& out, const CatalogueLocation& catalogues, const Streams& streams);

struct ScanArgs {
  std::string addTo;           // a catalogue to add the blocks found to, when not empty
  double minConfidence = kLikelyBlock;  // of the blocks to add
};
int Scan(const std::string& rom, FormatSet formats, const ScanArgs& args, const CatalogueLocation& catalogues,
         const Streams& streams);

struct InsertArgs {
  std::string catalogue;  // a catalogue that lists the old block, by ROM name or file name
  bool force = false;     // replace what is at the offset though nothing says it is a block
  bool raw = false;
  bool append = false;
  bool allowLarge = false;
  bool keepChecksum = false;  // --no-checksum
  bool resize = false;        // art may change its tile count
  std::uint8_t fill = 0xFF;
};
// Writes a copy of `rom` with the block at `offset` replaced by one made of `data`.
int Insert(Format format, const OffsetArg& offset, const std::string& rom, const std::string& data,
           const std::string& out, const InsertArgs& args, const CatalogueLocation& catalogues, const Streams& streams);

// Prints what the header of `rom` says (or that it has none), its size and layout, and
// which of the games' catalogues fits it (see IdentifyRom).
int Info(const std::string& rom, const CatalogueLocation& catalogues, const Streams& streams);

// Prints the stored and the computed checksum (see ComputeChecksum) and what it covers;
// with `fixedOut`, writes a copy that holds the computed one.
int Checksum(const std::string& rom, const std::string& fixedOut, const CatalogueLocation& catalogues,
             const Streams& streams);

struct ImportArgs {
  std::string palette;         // a Mega Drive palette file; empty: none
  bool nearest = false;        // colours matched to the palette's nearest (see ColourMatch)
  std::optional<unsigned> zoom, line;
  std::optional<std::size_t> tileCount;
  std::string compressFormat;  // a format to compress the tiles in; empty: none
};
// Writes the tiles of a PNG image, read as TilesFromPng does, and says on standard error
// at what zoom and how many.
int ImportPng(const std::string& image, const std::string& out, const ImportArgs& args, const CatalogueLocation& catalogues,
              const Streams& streams);

// Decodes every block that the catalogue `catalogue` lists into a file of `outDir`; with
// no catalogue named, the one of the ROM IdentifyRom finds (said on standard error), and
// a usage error when it finds none. An `outDir` of "-" is a usage error. No file is
// written over one of `otherRoms`, the other ROM images of the same command.
int Extract(const CatalogueLocation& folder, const std::string& catalogue, const std::string& rom,
            const std::string& outDir, const Streams& streams, const std::vector<std::string>& otherRoms = {});

}  // namespace quarvel::cli
