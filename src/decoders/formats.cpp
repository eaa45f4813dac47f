#include "decoders/formats.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "decoders/enigma.h"
#include "decoders/kosinski.h"
#include "decoders/kosinski_moduled.h"
#include "decoders/nemesis.h"
#include "encoders/enigma_compressor.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/kosinski_moduled_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "scan/format_probes.h"

namespace quarvel {
namespace {

DecodeResult<DecodedBlock> (*const kDecodeKosinski)(ByteSource&) = DecodeKosinski;
DecodeResult<DecodedBlock> (*const kDecodeNemesis)(ByteSource&) = DecodeNemesis;
DecodeResult<DecodedBlock> (*const kDecodeEnigma)(ByteSource&) = DecodeEnigma;
DecodeResult<DecodedBlock> (*const kDecodeKosinskiModuled)(ByteSource&) = DecodeKosinskiModuled;

const std::array<FormatInfo, 4> kFormats = {{
    {Format::Kosinski, "kosinski", "Kosinski", 'K', false, kKosinskiCapacity, "65,536 bytes", kDecodeKosinski,
     CompressKosinski, KosinskiWeigher},
    {Format::Nemesis, "nemesis", "Nemesis", 'N', true, std::uint64_t{kNemesisMaxTiles} * kNemesisTileBytes,
     "8,192 tiles (262,144 bytes)", kDecodeNemesis, CompressNemesis, NemesisWeigher},
    {Format::Enigma, "enigma", "Enigma", 'E', false, kEnigmaCapacity, "65,536 bytes (32,768 words)", kDecodeEnigma,
     CompressEnigma, EnigmaWeigher},
    {Format::KosinskiModuled, "kosinski-moduled", "Kosinski Moduled", 'M', false, kModuledCapacity, "65,535 bytes",
     kDecodeKosinskiModuled, CompressKosinskiModuled, KosinskiModuledWeigher},
}};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::span<const FormatInfo> Formats() { return kFormats; }

const FormatInfo& InfoOf(Format format) { return kFormats[static_cast<std::size_t>(format)]; }

const FormatInfo* FormatNamed(std::string_view name) {
  for (const auto& info : kFormats)
    if (EqualIgnoringCase(name, info.name)) return &info;
  return nullptr;
}

const FormatInfo* FormatOfLetter(char letter) {
  for (const auto& info : kFormats)
    if (letter == info.letter) return &info;
  return nullptr;
}

std::string_view FormatName(Format format) { return InfoOf(format).name; }

FormatSet FormatSet::All() {
  FormatSet all;
  for (const auto& info : kFormats) all.Add(info.format);
  return all;
}

DecodeResult<DecodedBlock> DecodeBlock(Format format, std::span<const std::uint8_t> rom, std::int64_t offset) {
  auto in = SpanSource::Open(rom, offset);
  if (!in) return Fail(in.error());
  return InfoOf(format).decode(*in);
}

}  // namespace quarvel
