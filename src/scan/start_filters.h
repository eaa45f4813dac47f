// The scan's first pass over a chunk of offsets, a format at a time (see StartFilter):
// each filter tests, offset after offset in one tight loop, what its format's probe tests
// first, so that most offsets of bytes that are no block are never weighed.
#pragma once

#include <cstdint>
#include <span>

namespace quarvel {

void KosinskiStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may);
// The header's size not 0, and a Kosinski block (its first module) may start after it.
void KosinskiModuledStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count,
                                std::uint8_t* may);
void NemesisStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may);
void EnigmaStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may);
void SaxmanStartFilter(std::span<const std::uint8_t> rom, std::size_t first, std::size_t count, std::uint8_t* may);

}  // namespace quarvel
