// The known-locations catalogue in the window: choosing a ROM loads its catalogue
// file into CompList; selecting an entry fills the offset and the format; entries are
// added and removed with the file rewritten after each change.
#pragma once

#include <string_view>

#include "ui/decompressor_form.h"

namespace quarvel {

inline constexpr std::string_view kInvalidEntryMessage = "Dados inválidos na opção selecionada";
inline constexpr std::string_view kInvalidOffsetMessage = "Offset Inválido";
inline constexpr std::string_view kSelectEntryMessage = "Selecione a Descrição a ser removida";
inline constexpr std::string_view kConfirmRemovalMessage = "    Você tem certeza que deseja remover esta localização ?";
inline constexpr std::string_view kConfirmRemovalTitle = "Confirmação para remoção de Localização";

// ROM chosen: RomName follows the selection (kept when nothing is selected), CompList
// is filled from the catalogue file and its first entry selected. Shows nothing; a
// missing file is an empty catalogue.
void RomList_Click(DecompressorForm& form);

// Entry selected: its first 8 characters, read as hex, go to DisplayLoc in the
// chosen radix, and its 13th character "K" or "N" selects the format.
void CompList_Click(DecompressorForm& form);

// "Adicionar Localização": appends the entry made from DisplayLoc2, the format and
// DescLoc, and rewrites the catalogue file.
void AddLoc_Click(DecompressorForm& form);

// "Remover Localização": after confirmation, removes the selected entry, rewrites the
// catalogue file and selects the entry now in its place (or the new last one).
void DelLoc_Click(DecompressorForm& form);

}  // namespace quarvel
