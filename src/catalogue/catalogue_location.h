// Where the catalogue files are. Beside the program when the user may write there (a
// build tree, a portable copy); for an installed program, in the user's own data
// folder, with the catalogues shipped with the program read until the first change.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quarvel {

struct CatalogueLocation {
  std::filesystem::path folder;                  // where catalogues are read and written
  std::optional<std::filesystem::path> shipped;  // read only: for a catalogue that `folder` lacks
  bool userData = false;                         // `folder` is the user's data folder, made when missing
  std::string problem;                           // when `folder` is empty: why there is none
};

// The catalogues of a program in `programFolder`. It is installed when the folder holds
// "../share/quarvel/catalogues" (those it ships: a folder of their own, never the user's
// data folder, which is named "quarvel" even when it is "share/quarvel" under the same
// prefix, as for ~/.local), and then, or when the user may not write the
// folder (or, as the administrator, does not own it), the catalogues are in `userData`,
// and those of the program are read until the first change. An empty `userData` is a
// user without a data folder: the location then has none, and says why.
CatalogueLocation LocateCatalogues(const std::filesystem::path& programFolder, const std::filesystem::path& userData);

// The file that a catalogue is read from: the user's own when there is one, else the
// shipped one when there is one, else (not there yet) the user's; empty when neither
// can be.
std::filesystem::path CatalogueToRead(const CatalogueLocation& location, std::string_view baseName);

// The file that a catalogue is written to.
std::filesystem::path CatalogueToWrite(const CatalogueLocation& location, std::string_view baseName);

}  // namespace quarvel
