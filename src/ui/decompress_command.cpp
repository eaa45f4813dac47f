#include "ui/decompress_command.h"

#include "offset/offset_text.h"
#include "platform/files.h"

namespace quarvel {
namespace {

void Inform(MessageBoxService& messages, std::string_view text, std::optional<std::string> title = std::nullopt) {
  messages.Show({std::string(text), MessageButtons::Ok, MessageIcon::Information, std::move(title)});
}

// Asks for a file; a failure of the dialog itself is reported and counts as a Cancel.
std::optional<std::filesystem::path> Pick(DecompressorForm& form, bool save, std::string_view title,
                                          std::string_view filter) {
  const FileDialogRequest request{std::string(title), std::string(filter)};
  try {
    return save ? form.services.dialogs.ShowSave(request) : form.services.dialogs.ShowOpen(request);
  } catch (const std::exception&) {
    Inform(form.services.messages, kDialogFailedMessage);
    return std::nullopt;
  }
}

}  // namespace

void CmdOrigem_Click(DecompressorForm& form) {
  const auto chosen = Pick(form, false, kSourceDialogTitle, kSourceDialogFilter);
  if (!chosen) return;
  form.state.SourceFile = *chosen;
  form.controls.Text2.SetText(PathToUtf8(*chosen));
}

void CmdDestino_Click(DecompressorForm& form) {
  const auto chosen = Pick(form, true, kDestinationDialogTitle, kDestinationDialogFilter);
  if (!chosen) return;
  form.state.DestFile = *chosen;
  form.controls.Text3.SetText(PathToUtf8(*chosen));
}

void CmdDescomprime_Click(DecompressorForm& form) {
  auto& state = form.state;
  auto& messages = form.services.messages;
  if (state.DestFile.empty() || state.SourceFile.empty()) {
    Inform(messages, kMissingFilesMessage);
    return;
  }

  const Radix radix = form.controls.OptHex.IsSelected() ? Radix::Hex : Radix::Dec;
  const auto offset = ParseOffsetText(form.controls.DisplayLoc.Text(), radix);
  if (!offset) {
    Inform(messages, kErrorMessage, std::string(kApplicationTitle));
    return;
  }
  state.DataOffset = *offset;

  const Driver& driver = form.controls.OptKos.IsSelected() ? form.drivers.kosinski : form.drivers.nemesis;
  const auto result = driver(state.SourceFile, state.DestFile, state.DataOffset);
  const bool weirdOffset = result ? result->stoppedAtCopyBeforeStart
                                  : result.error().kind == DecodeErrorKind::CopyBeforeStart;
  if (weirdOffset) messages.Show({std::string(kWeirdOffsetMessage), MessageButtons::Ok, MessageIcon::None, {}});
  if (result)
    Inform(messages, kDoneMessage);
  else
    Inform(messages, kErrorMessage, std::string(kApplicationTitle));
}

}  // namespace quarvel
