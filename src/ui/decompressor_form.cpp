#include "ui/decompressor_form.h"

#include "decoders/kosinski.h"
#include "decoders/nemesis.h"

namespace quarvel {

Drivers RealDrivers() { return {KosinskiDecompress, NemesisDecompress}; }

void Form_Load(DecompressorForm& form) { form.controls.RomList.SetSelectedIndex(0); }

}  // namespace quarvel
