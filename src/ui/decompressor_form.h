// What the window's handlers work on: its controls, seen through the platform
// interfaces, the services, the decoder drivers and the state the handlers share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "files/extraction.h"
#include "common/format.h"
#include "offset/offset_text.h"
#include "platform/services.h"
#include "preview/tile_image.h"
#include "rom/rom_layout.h"

namespace quarvel {

struct FormState {
  std::filesystem::path SourceFile;  // empty until picked
  std::filesystem::path DestFile;
  std::int32_t DataOffset = 0;
  std::string RomName;            // base name of the catalogue shown
  bool CatalogueComplete = true;  // false after a load that could not read the whole file:
                                  // then the file must not be rewritten from the list
  bool FormatClickedSinceEntry = false;  // an option button clicked since an entry was selected
  // The image of a source that is no regular file (a FIFO, a device), read once when it
  // was chosen: every later action reads it, never the file again. Empty otherwise.
  std::shared_ptr<const PlainImage> SourceImage;
};

// The driver: decodes the block of a format at an offset of the source into the destination.
using Driver = std::function<DecodeResult<Extraction>(Format format, const std::filesystem::path& source,
                                                      const std::filesystem::path& destination, std::int32_t offset)>;

// The driver of the real decoders.
Driver RealDriver();

struct DecompressorControls {
  TextBox& Text2;  // shows SourceFile
  TextBox& Text3;  // shows DestFile
  TextBox& DisplayLoc;
  TextBox& DisplayLoc2;
  OptionButton& OptHex;
  OptionButton& OptDec;
  OptionButton& OptKos;
  OptionButton& OptNem;
  TextBox& DescLoc;
  ListBox& CompList;  // selecting from code runs CompList_Click
  ListBox& RomList;   // selecting from code runs RomList_Click
};

struct DecompressorServices {
  MessageBoxService& messages;
  FileDialogService& dialogs;
  ProgramDirectoryService& programDirectory;
};

// The palette lines that the tile preview shows, in the order of its file, and the line it
// draws with: what a PNG image put back into the ROM is matched to.
struct ShownLines {
  std::vector<Palette> lines{GreyPalette()};
  unsigned line = 0;
};
using ShownPalette = std::function<ShownLines()>;

// What takes a ROM picked with "Origem" as the source: UseSource, unless the window reads
// some files in the background first.
using SourceOpener = std::function<void(const std::filesystem::path& rom)>;

struct DecompressorForm {
  DecompressorControls controls;
  DecompressorServices services;
  Driver driver = RealDriver();
  FormState state;
  ShownPalette shownPalette = [] { return ShownLines{}; };
  SourceOpener openSource = nullptr;  // nothing: UseSource
};

// The radix that "Hex" and "Dec" choose, and the format that "Kosinski" and "Nemesis" choose.
Radix ChosenRadix(const DecompressorControls& controls);
Format ChosenFormat(const DecompressorControls& controls);

// Shows a box with an information icon, OK, `text` and `title` (none: the application title),
// and `detail` behind its "Mostrar detalhes..." button when there is one.
void Inform(DecompressorForm& form, std::string_view text, std::optional<std::string> title = std::nullopt,
            std::string detail = {});

// "Kosinski" or "Nemesis" clicked: the user's choice wins over the selected entry's format.
void FormatOption_Click(DecompressorForm& form);

// Before the window is first shown: chooses the first ROM, which loads its catalogue.
void Form_Load(DecompressorForm& form);

}  // namespace quarvel
