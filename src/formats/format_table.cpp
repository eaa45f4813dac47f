#include "formats/format_table.h"

#include <array>

#include "decoders/enigma.h"
#include "decoders/kosinski.h"
#include "decoders/kosinski_moduled.h"
#include "decoders/nemesis.h"
#include "decoders/saxman.h"
#include "encoders/enigma_accurate.h"
#include "encoders/enigma_compressor.h"
#include "encoders/kosinski_accurate.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/kosinski_moduled_compressor.h"
#include "encoders/nemesis_accurate.h"
#include "encoders/nemesis_compressor.h"
#include "encoders/saxman_compressor.h"
#include "scan/format_probes.h"
#include "scan/start_filters.h"

namespace quarvel {
namespace {

constexpr std::uint64_t LimitOf(Format format) { return kFormatInfos[static_cast<std::size_t>(format)].largestData; }
static_assert(LimitOf(Format::Kosinski) == kKosinskiCapacity);
static_assert(LimitOf(Format::Nemesis) == std::uint64_t{kNemesisMaxTiles} * kNemesisTileBytes);
static_assert(LimitOf(Format::Enigma) == kEnigmaCapacity);
static_assert(LimitOf(Format::KosinskiModuled) == kModuledCapacity);
static_assert(LimitOf(Format::Saxman) == kSaxmanCapacity);

DecodeResult<DecodedBlock> (*const kDecodeKosinski)(ByteSource&) = DecodeKosinski;
DecodeResult<DecodedBlock> (*const kDecodeNemesis)(ByteSource&) = DecodeNemesis;
DecodeResult<DecodedBlock> (*const kDecodeEnigma)(ByteSource&) = DecodeEnigma;
DecodeResult<DecodedBlock> (*const kDecodeKosinskiModuled)(ByteSource&) = DecodeKosinskiModuled;
DecodeResult<DecodedBlock> (*const kDecodeSaxman)(ByteSource&) = DecodeSaxman;

Expected<std::vector<std::uint8_t>, std::string> KosinskiAccurate(std::span<const std::uint8_t> data,
                                                                  const AccurateOptions&) {
  return CompressKosinskiAccurate(data);
}
Expected<std::vector<std::uint8_t>, std::string> NemesisAccurate(std::span<const std::uint8_t> data,
                                                                 const AccurateOptions& options) {
  return CompressNemesisAccurate(data, options.evenLength);
}
Expected<std::vector<std::uint8_t>, std::string> EnigmaAccurate(std::span<const std::uint8_t> data,
                                                                const AccurateOptions&) {
  return CompressEnigmaAccurate(data);
}
Expected<std::vector<std::uint8_t>, std::string> KosinskiModuledAccurate(std::span<const std::uint8_t> data,
                                                                         const AccurateOptions& options) {
  return CompressKosinskiModuledAccurate(data, options.headerSize);
}
Expected<std::vector<std::uint8_t>, std::string> SaxmanAccurate(std::span<const std::uint8_t> data, const AccurateOptions&) {
  return CompressSaxmanAccurate(data);
}

// In the order of kFormatInfos.
const std::array<FormatCodec, 5> kCodecs = {{
    {Format::Kosinski, kDecodeKosinski, CompressKosinski, KosinskiAccurate, KosinskiWeigher},
    {Format::Nemesis, kDecodeNemesis, CompressNemesis, NemesisAccurate, NemesisWeigher},
    {Format::Enigma, kDecodeEnigma, CompressEnigma, EnigmaAccurate, EnigmaWeigher},
    {Format::KosinskiModuled, kDecodeKosinskiModuled, CompressKosinskiModuled, KosinskiModuledAccurate,
     KosinskiModuledWeigher},
    {Format::Saxman, kDecodeSaxman, CompressSaxman, SaxmanAccurate, SaxmanWeigher},
}};

}  // namespace

const FormatCodec& CodecOf(Format format) { return kCodecs[static_cast<std::size_t>(format)]; }

DecodeResult<DecodedBlock> DecodeBlock(Format format, std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return CodecOf(format).decode(*in);
}

Expected<std::vector<ScanCandidate>, ScanStop> ScanRom(std::span<const std::uint8_t> rom, const ScanOptions& options,
                                                       const ScanProgress& progress) {
  std::vector<FormatWeigher> weighers;
  for (const FormatCodec& codec : kCodecs)
    if (options.formats.Has(codec.format)) weighers.push_back({codec.format, codec.scanner(rom)});
  return ScanWithWeighers(rom, weighers, options.threads, progress, FormatStarts);
}

}  // namespace quarvel
