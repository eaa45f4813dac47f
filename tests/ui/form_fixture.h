// A DecompressorForm over in-memory controls and services, as the window starts it:
// both lists run their click handlers when selected from code.
#pragma once

#include "platform/fakes.h"
#include "catalogue/rom_names.h"
#include "ui/catalogue_commands.h"
#include "ui/decompressor_form.h"

namespace quarvel::testing {

struct FormFixture {
  FormFixture() {
    optHex.PairWith(optDec);
    optKos.PairWith(optNem);
    compList.onClick = [this] { CompList_Click(form); };
    romList.onClick = [this] { RomList_Click(form); };
    for (const auto& rom : kRomCatalogues) romList.Append(std::string(rom.listText));
  }

  FakeTextBox text2, text3, displayLoc{"0"}, displayLoc2{"0"}, descLoc{"Digite a descrição dos dados "};
  FakeOptionButton optHex{true}, optDec, optKos{true}, optNem;
  FakeListBox compList, romList;
  RecordingMessageBox messages;
  ScriptedFileDialogs dialogs;
  FixedProgramDirectory programDirectory;
  DecompressorForm form{
      {text2, text3, displayLoc, displayLoc2, optHex, optDec, optKos, optNem, descLoc, compList, romList},
      {messages, dialogs, programDirectory},
      RealDriver(),
      {}};
};

}  // namespace quarvel::testing
