// A catalogue entry: one line "OOOOOOOO - <K> - description", the offset as 8
// upper-case hex digits, the format's type letter (K, N, E or M) at character 13.
// Entries read from files are kept as they are; only these readers interpret them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/format.h"
#include "scan/block_scan.h"

namespace quarvel {

inline constexpr std::size_t kEntryOffsetLength = 8;
inline constexpr std::size_t kEntryTypePosition = 13;         // counted from 1
inline constexpr std::size_t kEntryDescriptionPosition = 18;  // counted from 1

// The entry for a block; a double quote in the description, which a catalogue file
// cannot hold, becomes an apostrophe.
std::string FormatEntry(std::int32_t offset, Format format, std::string_view description);

// The most characters a description holds, as the window's description box takes.
inline constexpr std::size_t kMaxDescriptionLength = 40;

// Why `description` cannot be stored in an entry, when it cannot: a line break, more
// than 40 characters, or a character that a catalogue file (Windows-1252) cannot hold,
// named in the text.
std::optional<std::string> DescriptionProblem(std::string_view description);

// "Nemesis, 12 ladrilhos" or "Kosinski, 1280 bytes": the description, in the
// catalogues' Portuguese, of a block a scan found (a ladrilho is an 8x8 tile).
std::string ScanEntryDescription(const ScanCandidate& candidate);

// Whether `entries` already list a block of `format` at `offset`.
bool Lists(const std::vector<std::string>& entries, std::int32_t offset, Format format);

// The first 8 characters of an entry (all of it when shorter): its offset digits.
std::string_view EntryOffsetText(std::string_view entry);

// Everything from character 18 on: the description of an entry made by FormatEntry.
std::string_view EntryDescription(std::string_view entry);

// The format whose catalogue letter (K, N, E or M) is character 13.
std::optional<Format> EntryFormat(std::string_view entry);

}  // namespace quarvel
