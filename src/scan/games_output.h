// Whether a stream is exactly what the games' own compressor writes for the data it
// decodes to: the strongest evidence a scan has that a game put a block there. Each
// check re-encodes only as far as the stream agrees, so that it costs little for a
// stream that is not the games'.
#pragma once

#include <cstdint>
#include <span>

namespace quarvel {

// The Kosinski block at `offset`, with its zero padding to 16 bytes.
bool IsGamesKosinski(std::span<const std::uint8_t> rom, std::size_t offset);
// The Kosinski Moduled block at `offset`: its header's size, then modules that are each
// the games' Kosinski block of their piece.
bool IsGamesKosinskiModuled(std::span<const std::uint8_t> rom, std::size_t offset);
// The Nemesis block at `offset`, in the Sonic 1 and 2 form or the Sonic 3 & Knuckles one.
bool IsGamesNemesis(std::span<const std::uint8_t> rom, std::size_t offset);
// The Enigma block at `offset`, with its zero byte to an even length when it has one.
bool IsGamesEnigma(std::span<const std::uint8_t> rom, std::size_t offset);
// The Saxman song at `offset`, which decodes to `decoded`.
bool IsGamesSaxman(std::span<const std::uint8_t> rom, std::size_t offset, std::span<const std::uint8_t> decoded);

}  // namespace quarvel
