#include "ui/decompress_command.h"

#include "catalogue/rom_names.h"
#include "formats/format_table.h"
#include "offset/offset_text.h"
#include "rom/rom_identity.h"
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
  if (!chosen) return;
  if (form.openSource)
    form.openSource(*chosen);
  else
    UseSource(form, *chosen);
}

namespace {

// Whether `rom` is there and no regular file nor folder: a FIFO or a device, whose reads may wait.
bool IsSpecialFile(const std::filesystem::path& rom) {
  std::error_code error;
  const auto status = std::filesystem::status(rom, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
         !std::filesystem::is_directory(status);
}

// Selects the catalogue of the ROM `image` is, as a click would, when it is known exactly,
// probably or changed, unless the list shows it already or shows "Custom".
void FollowRom(DecompressorForm& form, const PlainImage& image) {
  const RomIdentity identity = IdentifyRom(image.bytes);
  using How = RomIdentity::How;
  if (!identity.rom || (identity.how != How::Exactly && identity.how != How::Probably && identity.how != How::Changed))
    return;
  if (form.state.RomName == kCustomCatalogue || form.state.RomName == identity.rom->baseName) return;
  for (std::size_t i = 0; i < kRomCatalogues.size(); ++i)
    if (kRomCatalogues[i].baseName == identity.rom->baseName) form.controls.RomList.SetSelectedIndex(static_cast<int>(i));
}

}  // namespace

bool ReadsInTheBackground(const std::filesystem::path& rom) { return IsSpecialFile(rom); }

void UseSource(DecompressorForm& form, const std::filesystem::path& rom) {
  UseSource(form, rom, ReadWholeFile(rom, kRomImageLimit));
}

void UseSource(DecompressorForm& form, const std::filesystem::path& chosen, FileResult<std::vector<std::uint8_t>> bytes) {
  std::error_code error;
  const std::filesystem::path whole = std::filesystem::absolute(chosen, error);
  const std::filesystem::path rom = error ? chosen : whole.lexically_normal();
  const bool special = IsSpecialFile(rom);
  auto& state = form.state;
  state.SourceImage.reset();
  state.SourceFile = special && !bytes ? std::filesystem::path() : rom;  // never read again
  form.controls.Text2.SetText(PathToUtf8(rom));
  if (!bytes) return form.controls.Text2.SetToolTip(std::string(kUnreadableRomMessage));
  auto image = std::make_shared<PlainImage>(ToPlainImage(std::move(*bytes)));
  FollowRom(form, *image);
  form.controls.Text2.SetToolTip(RomSummary(*image, state.RomName));
  if (special)
    state.SourceImage = std::move(image);
  else
    form.services.dialogs.NoteRecent(kRecentRoms, rom);
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

  const auto kept = state.SourceImage;
  const auto fromKept = [&kept, format](const std::filesystem::path&, std::int64_t at) {
    return DecodeBlock(format, kept->bytes, at);
  };
  const auto result = kept ? ExtractBlock(state.SourceFile, state.DestFile, state.DataOffset, fromKept)
                           : form.driver(format, state.SourceFile, state.DestFile, state.DataOffset);
  WarnIfCopyBeforeStart(form.services.messages, result);
  if (!result) return failed(ReasonInPortuguese(result.error()));
  Inform(form, kDoneMessage);
}

}  // namespace quarvel
