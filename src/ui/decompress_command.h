// The source and destination pickers and the decompress command.
#pragma once

#include <string_view>

#include "files/files.h"
#include "ui/decompressor_form.h"

namespace quarvel {

inline constexpr std::string_view kSourceDialogTitle = "Por favor! Selecione um Rom.";
inline constexpr std::string_view kSourceDialogFilter =
    "Rom Binário(*.BIN)|*.BIN|ROM do Mega Drive(*.BIN;*.MD;*.GEN;*.SMD)|*.BIN;*.MD;*.GEN;*.SMD|"
    "Todos os arquivos (*)|*";
inline constexpr std::string_view kDestinationDialogTitle = "Selecione o Nome do Arquivo de Dados.";
inline constexpr std::string_view kDestinationDialogFilter = "(*.DAT)|*.DAT";

inline constexpr std::string_view kMissingFilesMessage = "Por Favor selecione os Arquivos de Origem e/ou Destino.";
inline constexpr std::string_view kDoneMessage = "Descompressão Concluída";
inline constexpr std::string_view kErrorMessage = "Ocorreu um erro durante a descompressão";
inline constexpr std::string_view kWeirdOffsetMessage = "Argh, weird offset!";
inline constexpr std::string_view kDialogFailedMessage = "Não foi possível abrir a janela de seleção de arquivos.";

enum class FileDialogKind { Open, Save };

// Asks for a file; a failure of the dialog itself is reported in a message box and
// counts as a Cancel.
std::optional<std::filesystem::path> PickFile(FileDialogService& dialogs, MessageBoxService& messages,
                                              FileDialogKind kind, const FileDialogRequest& request);

inline constexpr std::string_view kReplaceTitle = "Substituir";

// Whether to go on and save to the file chosen: yes when there is none yet, or when it is
// one of `never` (the save then refuses it, and says so), else as the user answers
// "art.png já existe.\nDeseja substituí-lo?".
bool MayReplace(MessageBoxService& messages, const std::filesystem::path& chosen, const ProtectedFiles& never);

// Shows "Argh, weird offset!" when a decode failed at a copy from before the start of
// its output; the failure itself is reported after it.
template <class Result>
void WarnIfCopyBeforeStart(MessageBoxService& messages, const Result& result) {
  if (!result && result.error().kind == DecodeErrorKind::CopyBeforeStart)
    messages.Show({std::string(kWeirdOffsetMessage), MessageButtons::Ok, MessageIcon::None, {}});
}

inline constexpr std::string_view kRecentRoms = "roms";  // the list of recent ROMs the dialog offers

// "Origem": picks the ROM image into SourceFile and Text2 (see UseSource), offering the
// recent ROMs too. A cancelled dialog changes nothing; a dialog that fails is reported in
// a message box and changes nothing.
void CmdOrigem_Click(DecompressorForm& form);

// `rom` as the source, as if picked with "Origem" (a file dropped on the window, or named
// when the program starts): SourceFile (its path made whole and normal), Text2 and its
// tool tip, and the recent ROMs. A ROM that the games' catalogues know exactly or
// probably selects its catalogue in the ROM list, as a click would, unless the list shows
// it already or shows "Custom". A source that is no regular file (a FIFO, a device) is
// read here once: its image is kept for every later action, and it is not noted as recent.
void UseSource(DecompressorForm& form, const std::filesystem::path& rom);

// The same, with the bytes of `rom` read already (or why they could not be).
void UseSource(DecompressorForm& form, const std::filesystem::path& rom, FileResult<std::vector<std::uint8_t>> bytes);

// Whether reading `rom` may wait for another program (a FIFO, a device): the window then
// reads it in the background and calls UseSource with its bytes.
bool ReadsInTheBackground(const std::filesystem::path& rom);

// "Destino": picks the destination into DestFile and Text3. A cancelled dialog changes nothing.
void CmdDestino_Click(DecompressorForm& form);

// "Descomprime": with both files picked, parses DisplayLoc in the chosen radix into
// DataOffset, runs the driver of the chosen format (of the selected entry, for one the
// option buttons do not offer, while DisplayLoc shows its offset: see BlockFormat) and
// reports the outcome in one message box (after the weird-offset warning when the block
// copies from before its start, which fails it).
void CmdDescomprime_Click(DecompressorForm& form);

// "Descomprimir como" a format the option buttons do not offer: the same, in `format`.
void DecompressAs(DecompressorForm& form, Format format);

}  // namespace quarvel
