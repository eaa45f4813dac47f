#include "ui/radix_switch.h"

#include "offset/offset_text.h"

namespace quarvel {
namespace {

void ConvertFields(DecompressorForm& form, Radix from, Radix to) {
  for (TextBox* field : {&form.controls.DisplayLoc, &form.controls.DisplayLoc2})
    field->SetText(ConvertOffsetText(field->Text(), from, to));
}

}  // namespace

void OptDec_Click(DecompressorForm& form) { ConvertFields(form, Radix::Hex, Radix::Dec); }

void OptHex_Click(DecompressorForm& form) { ConvertFields(form, Radix::Dec, Radix::Hex); }

}  // namespace quarvel
