// The scan's first pass over a stretch of offsets: what each format's probe tests first,
// offset after offset in one tight loop, so that most offsets of bytes that are no block
// are never weighed.
#pragma once

#include <cstdint>
#include <span>

namespace quarvel {

// A StartFilter (block_scan.h) for every format: Kosinski and Saxman, their first copy
// (KosinskiScanner::MayStartAt, SaxmanMayStartAt); Nemesis and Enigma, their header
// (NemesisMayStartAt, EnigmaMayStartAt); Kosinski Moduled, a header's size other than 0
// and a Kosinski block after it.
void FormatStarts(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may);

}  // namespace quarvel
