// How the scan weighs a block of each format that a probe finds at an offset. A stream
// that is the games' own output (16 bytes or more at an even offset, 64 at an odd one)
// weighs 1.0; any other weighs less at an odd offset, where the games never put one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "scan/scan_weigher.h"

namespace quarvel {

// A Kosinski block that reaches its end marker with no copy from before its start and
// decodes to at least 32 bytes, no fewer than its stream takes; surer the longer it is
// and the better it packs.
ScanWeigher KosinskiWeigher(std::span<const std::uint8_t> rom);

// A Nemesis block with a well-formed code table that decodes every tile through codes
// it defines; surer the more its table looks built from the data's own frequencies.
ScanWeigher NemesisWeigher(std::span<const std::uint8_t> rom);

// Kosinski Moduled: modules that decode to 0x1000 bytes each but the last; Enigma: a
// plausible header, an end entry, no fewer bytes decoded than taken.
ScanWeigher KosinskiModuledWeigher(std::span<const std::uint8_t> rom);
ScanWeigher EnigmaWeigher(std::span<const std::uint8_t> rom);

// A Saxman song (a count, then its stream): the games' own output, or a stream with no
// command an encoder would not write; surer the more commands it holds.
ScanWeigher SaxmanWeigher(std::span<const std::uint8_t> rom);

}  // namespace quarvel
