#include "ui/decompress_command.h"

#include "offset/offset_text.h"
#include "platform/files.h"

namespace quarvel {
namespace {


// Asks for a file; a failure of the dialog itself is reported and counts as a Cancel.
std::optional<std::filesystem::path> Pick(DecompressorForm& form, bool save, std::string_view title,
                                          std::string_view filter) {
  const FileDialogRequest request{std::string(title), std::string(filter)};
  try {
    return save ? form.services.dialogs.ShowSave(request) : form.services.dialogs.ShowOpen(request);
  } catch (const std::exception&) {
    form.services.messages.Show(Information(kDialogFailedMessage));
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
    messages.Show(Information(kMissingFilesMessage));
    return;
  }

  const auto offset = ParseOffsetText(form.controls.DisplayLoc.Text(), ChosenRadix(form.controls));
  if (!offset) {
    messages.Show(Information(kErrorMessage, std::string(kApplicationTitle)));
    return;
  }
  state.DataOffset = *offset;

  const Driver& driver = ChosenFormat(form.controls) == Format::Kosinski ? form.drivers.kosinski : form.drivers.nemesis;
  const auto result = driver(state.SourceFile, state.DestFile, state.DataOffset);
  WarnIfStoppedAtCopyBeforeStart(messages, result);
  messages.Show(result ? Information(kDoneMessage) : Information(kErrorMessage, std::string(kApplicationTitle)));
}

}  // namespace quarvel
