// Whether a stored block is what the games' own compressor writes for what it decodes
// to: a disassembly may then keep that file decompressed and still build the game byte
// for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "common/expected.h"
#include "common/format.h"
#include "decoders/decode_error.h"

namespace quarvel {

struct AccurateCheck {
  bool identical = false;
  // Which of the games' forms it is, where they differ (Nemesis: "Sonic 1 and 2" or
  // "Sonic 3 & Knuckles", padded to an even length); empty where there is one form.
  std::string_view form;
  // Where not identical, the first byte that differs from the nearest form, and each
  // side's byte there (nothing past that side's end).
  std::uint64_t firstDifference = 0;
  std::optional<std::uint8_t> stored, accurate;
  std::uint64_t storedSize = 0, accurateSize = 0;
};

// Decodes `block` (the whole of a stored file) in `format` and compresses what it gives
// as the games' compressor did (a Kosinski Moduled block with the size its header
// states; a Nemesis block in both forms), then compares. With `streamOnly`, `block` is a
// Saxman stream without its count (the sound driver's), compared with the stream alone.
// Fails, with the decoder's error, when the block does not decode whole.
Expected<AccurateCheck, DecodeError> CheckAccurate(Format format, std::span<const std::uint8_t> block,
                                                   bool streamOnly = false);

}  // namespace quarvel
