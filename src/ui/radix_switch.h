// The radix options "Hex" and "Dec": choosing one converts both offset fields.
#pragma once

#include "ui/decompressor_form.h"

namespace quarvel {

// "Dec" chosen: each offset field, on its own, from hexadecimal to decimal text.
// A field that is empty, one blank, or not a number keeps its text; nothing is shown.
void OptDec_Click(DecompressorForm& form);

// "Hex" chosen: each offset field, on its own, from decimal to hexadecimal text.
void OptHex_Click(DecompressorForm& form);

}  // namespace quarvel
