#include "ui/catalogue_commands.h"

#include <vector>

#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "catalogue/rom_names.h"
#include "offset/offset_text.h"

namespace quarvel {
namespace {

void Inform(DecompressorForm& form, std::string_view text) { form.services.messages.Show(Information(text)); }

std::filesystem::path CurrentCataloguePath(const DecompressorForm& form) {
  return CatalogueFilePath(form.services.programDirectory.ProgramDirectory(), form.state.RomName);
}

std::vector<std::string> Entries(const ListBox& list) {
  std::vector<std::string> entries;
  for (int i = 0; i < list.Count(); ++i) entries.push_back(list.ItemAt(i));
  return entries;
}

}  // namespace

void RomList_Click(DecompressorForm& form) {
  auto& controls = form.controls;
  const int chosen = controls.RomList.SelectedIndex();
  if (chosen >= 0 && chosen < static_cast<int>(kRomCatalogues.size()))
    form.state.RomName = std::string(kRomCatalogues[static_cast<std::size_t>(chosen)].baseName);

  controls.CompList.Clear();
  const CatalogueLoad load = LoadCatalogue(CurrentCataloguePath(form));
  form.state.CatalogueComplete = load.status != CatalogueLoad::Status::Failed;
  for (const auto& entry : load.entries) controls.CompList.Append(entry);
  if (load.status == CatalogueLoad::Status::Loaded && controls.CompList.Count() > 0)
    controls.CompList.SetSelectedIndex(0);
}

void CompList_Click(DecompressorForm& form) {
  auto& controls = form.controls;
  const int selected = controls.CompList.SelectedIndex();
  if (selected == ListBox::kNoSelection) return;
  const std::string entry = controls.CompList.ItemAt(selected);
  const auto offset = ParseOffsetText(EntryOffsetText(entry), Radix::Hex);
  if (!offset) {
    Inform(form, kInvalidEntryMessage);
    return;
  }
  controls.DisplayLoc.SetText(FormatOffsetText(*offset, ChosenRadix(form.controls)));
  if (const auto format = EntryFormat(entry)) (*format == Format::Kosinski ? controls.OptKos : controls.OptNem).Select();
}

void AddLoc_Click(DecompressorForm& form) {
  auto& controls = form.controls;
  const auto offset = ParseOffsetText(controls.DisplayLoc2.Text(), ChosenRadix(form.controls));
  if (!offset) {
    Inform(form, kInvalidOffsetMessage);
    return;
  }
  form.state.DataOffset = *offset;
  const Format format = ChosenFormat(controls);

  if (!form.state.CatalogueComplete || controls.CompList.Count() >= static_cast<int>(kMaxCatalogueEntries)) {
    Inform(form, kInvalidOffsetMessage);
    return;
  }
  auto writer = CatalogueWriter::Begin(CurrentCataloguePath(form));
  if (!writer) {
    Inform(form, kInvalidOffsetMessage);
    return;
  }
  controls.CompList.Append(FormatEntry(form.state.DataOffset, format, controls.DescLoc.Text()));
  if (writer->Commit(Entries(controls.CompList))) Inform(form, kInvalidOffsetMessage);
}

void DelLoc_Click(DecompressorForm& form) {
  auto& list = form.controls.CompList;
  const int removed = list.SelectedIndex();
  if (removed == ListBox::kNoSelection || !form.state.CatalogueComplete) {
    Inform(form, kSelectEntryMessage);
    return;
  }
  const auto answer = form.services.messages.Show({std::string(kConfirmRemovalMessage), MessageButtons::YesNo,
                                                   MessageIcon::None, std::string(kConfirmRemovalTitle)});
  if (answer != MessageAnswer::Yes) return;

  list.RemoveAt(removed);
  if (SaveCatalogue(CurrentCataloguePath(form), Entries(list))) {
    Inform(form, kSelectEntryMessage);
    return;
  }
  const int left = list.Count();
  if (left > 0) list.SetSelectedIndex(removed == left ? removed - 1 : removed);
}

}  // namespace quarvel
