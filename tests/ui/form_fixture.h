// A DecompressorForm over in-memory controls and services, as the window starts it.
#pragma once

#include "platform/fakes.h"
#include "ui/decompressor_form.h"

namespace quarvel::testing {

struct FormFixture {
  FormFixture() {
    optHex.PairWith(optDec);
    optKos.PairWith(optNem);
  }

  FakeTextBox text2, text3, displayLoc{"0"}, displayLoc2{"0"};
  FakeOptionButton optHex{true}, optDec, optKos{true}, optNem;
  RecordingMessageBox messages;
  ScriptedFileDialogs dialogs;
  DecompressorForm form{{text2, text3, displayLoc, displayLoc2, optHex, optDec, optKos, optNem},
                        {messages, dialogs},
                        RealDrivers(),
                        {}};
};

}  // namespace quarvel::testing
