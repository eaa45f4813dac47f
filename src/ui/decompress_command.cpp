#include "ui/decompress_command.h"

#include "offset/offset_text.h"
#include "files/files.h"
#include "ui/tools_commands.h"

namespace quarvel {

std::optional<std::filesystem::path> PickFile(FileDialogService& dialogs, MessageBoxService& messages,
                                              FileDialogKind kind, const FileDialogRequest& request) {
  try {
    return kind == FileDialogKind::Save ? dialogs.ShowSave(request) : dialogs.ShowOpen(request);
  } catch (const std::exception&) {
    messages.Show(Information(kDialogFailedMessage));
    return std::nullopt;
  }
}

bool MayReplace(MessageBoxService& messages, const std::filesystem::path& chosen, const ProtectedFiles& never) {
  std::error_code error;
  if (!std::filesystem::exists(chosen, error) || never.Refusal(chosen)) return true;
  const std::string text = PathToUtf8(chosen.filename()) + " já existe.\nDeseja substituí-lo?";
  return messages.Show({text, MessageButtons::YesNo, MessageIcon::None, std::string(kReplaceTitle)}) ==
         MessageAnswer::Yes;
}

namespace {

std::optional<std::filesystem::path> Pick(DecompressorForm& form, FileDialogKind kind, std::string_view title,
                                          std::string_view filter) {
  return PickFile(form.services.dialogs, form.services.messages, kind, {std::string(title), std::string(filter)});
}

}  // namespace

void CmdOrigem_Click(DecompressorForm& form) {
  const auto chosen = PickFile(form.services.dialogs, form.services.messages, FileDialogKind::Open,
                               {std::string(kSourceDialogTitle), std::string(kSourceDialogFilter), std::string(kRecentRoms)});
  if (chosen) UseSource(form, *chosen);
}

void UseSource(DecompressorForm& form, const std::filesystem::path& rom) {
  form.state.SourceFile = rom;
  form.controls.Text2.SetText(PathToUtf8(rom));
  auto bytes = ReadWholeFile(rom, kRomImageLimit);
  form.controls.Text2.SetToolTip(bytes ? RomSummary(ToPlainImage(std::move(*bytes)), form.state.RomName)
                                       : std::string(kUnreadableRomMessage));
  std::error_code error;
  const std::filesystem::path whole = std::filesystem::absolute(rom, error);
  if (bytes) form.services.dialogs.NoteRecent(kRecentRoms, error ? rom : whole);
}

void CmdDestino_Click(DecompressorForm& form) {
  const auto chosen = Pick(form, FileDialogKind::Save, kDestinationDialogTitle, kDestinationDialogFilter);
  if (!chosen) return;
  form.state.DestFile = *chosen;
  form.controls.Text3.SetText(PathToUtf8(*chosen));
}

void CmdDescomprime_Click(DecompressorForm& form) { DecompressAs(form, BlockFormat(form)); }

void DecompressAs(DecompressorForm& form, Format format) {
  auto& state = form.state;
  const auto failed = [&form](const std::string& reason) {
    Inform(form, kErrorMessage, std::string(kApplicationTitle), AsDetail(reason));
  };
  if (state.DestFile.empty() || state.SourceFile.empty()) {
    Inform(form, kMissingFilesMessage);
    return;
  }

  const auto offset = ParseOffsetText(form.controls.DisplayLoc.Text(), ChosenRadix(form.controls));
  if (!offset) return InformBadOffset(form, offset.error());
  state.DataOffset = *offset;
  if (FilesNeverWritten(form).Refusal(state.DestFile)) {
    return failed(IsSameFile(state.DestFile, state.SourceFile)
                      ? "o destino é o próprio ROM, que nunca é gravado"
                      : "o destino é um arquivo de localizações, que só muda pelas Localizações Conhecidas");
  }

  const auto result = form.driver(format, state.SourceFile, state.DestFile, state.DataOffset);
  WarnIfStoppedAtCopyBeforeStart(form.services.messages, result);
  if (!result) return failed(ReasonInPortuguese(result.error()));
  Inform(form, kDoneMessage);
}

}  // namespace quarvel
