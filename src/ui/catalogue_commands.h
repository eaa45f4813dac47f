// The known-locations catalogue in the window: choosing a ROM loads its catalogue
// file into CompList; selecting an entry fills the offset and the format; entries are
// added and removed with the file rewritten after each change.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_file.h"

#include "ui/decompressor_form.h"

namespace quarvel {

inline constexpr std::string_view kInvalidEntryMessage = "Dados inválidos na opção selecionada";
inline constexpr std::string_view kInvalidOffsetMessage = "Offset Inválido";
inline constexpr std::string_view kSelectEntryMessage = "Selecione a Descrição a ser removida";
inline constexpr std::string_view kConfirmRemovalMessage = "    Você tem certeza que deseja remover esta localização ?";
inline constexpr std::string_view kConfirmRemovalTitle = "Confirmação para remoção de Localização";
inline constexpr std::string_view kCatalogueChangedMessage =
    "O catálogo foi alterado fora do programa; a lista foi recarregada.";

// ROM chosen: RomName follows the selection (kept when nothing is selected), CompList
// is filled from the catalogue file and its first entry selected. Shows nothing; a
// missing file is an empty catalogue.
void RomList_Click(DecompressorForm& form);

// Entry selected: its first 8 characters, read as hex, go to DisplayLoc in the
// chosen radix, and its 13th character "K" or "N" selects the format (any other
// letter leaves the option buttons as they are).
void CompList_Click(DecompressorForm& form);

// "Adicionar Localização": appends the entry made from DisplayLoc2, the format and
// DescLoc to the catalogue file, then to CompList.
void AddLoc_Click(DecompressorForm& form);

// "Remover Localização": after confirmation, removes the selected entry from the
// catalogue file, then from CompList, and selects the entry now in its place (or the
// new last one).
void DelLoc_Click(DecompressorForm& form);

// Where the catalogue files are (see LocateCatalogues).
CatalogueLocation Catalogues(const DecompressorForm& form);

// The entries of CompList, in order.
std::vector<std::string> ListedEntries(const ListBox& list);

// Starts a change of the catalogue shown: takes its lock and reads its file. Nothing
// when the file cannot be had (after `failure` is shown), or when it no longer holds
// what CompList shows: then CompList is reloaded from it, keeping the selected entry
// when it is still there, and kCatalogueChangedMessage is shown. Every change to the
// list is made after the file is saved, so the two agree.
std::optional<CatalogueEdit> BeginCatalogueEdit(DecompressorForm& form, std::string_view failure);

// Changes the catalogue file shown with `change` (see BeginCatalogueEdit); false, after
// `failure` is shown, when the file cannot be saved. The caller then changes CompList.
bool SaveChange(DecompressorForm& form, std::string_view failure,
                const std::function<void(std::vector<std::string>&)>& change);

}  // namespace quarvel
