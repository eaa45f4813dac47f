#include "ui/catalogue_commands.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "catalogue/rom_names.h"
#include "offset/offset_text.h"

namespace quarvel {
namespace {

// CompList filled with `entries`, and the item `select` selected, which runs CompList_Click.
void ShowEntries(DecompressorForm& form, const std::vector<std::string>& entries, int select) {
  auto& list = form.controls.CompList;
  list.Clear();
  for (const auto& entry : entries) list.Append(entry);
  if (select != ListBox::kNoSelection) list.SetSelectedIndex(select);
}

}  // namespace

CatalogueLocation Catalogues(const DecompressorForm& form) {
  const ProgramDirectoryService& folders = form.services.programDirectory;
  return LocateCatalogues(folders.ProgramDirectory(), folders.UserDataDirectory());
}

std::vector<std::string> ListedEntries(const ListBox& list) {
  std::vector<std::string> entries;
  for (int i = 0; i < list.Count(); ++i) entries.push_back(list.ItemAt(i));
  return entries;
}

std::optional<CatalogueEdit> BeginCatalogueEdit(DecompressorForm& form, std::string_view failure) {
  auto& list = form.controls.CompList;
  const std::vector<std::string> listed = ListedEntries(list);
  std::vector<std::string> stored;
  {
    auto edit = CatalogueEdit::Begin(Catalogues(form), form.state.RomName);
    if (!edit) {
      Inform(form, failure);
      return std::nullopt;
    }
    // A hand-written entry may hold what its first save writes otherwise (a quote).
    if (AsWritten(edit->Entries()) == AsWritten(listed)) return std::move(*edit);
    stored = edit->Entries();
  }  // the lock is not held while the message box is open

  const int selected = list.SelectedIndex();
  int keep = ListBox::kNoSelection;
  if (selected != ListBox::kNoSelection) {
    const auto found = std::find(stored.begin(), stored.end(), listed[static_cast<std::size_t>(selected)]);
    if (found != stored.end()) keep = static_cast<int>(found - stored.begin());
  }
  form.state.CatalogueComplete = true;
  ShowEntries(form, stored, keep);
  Inform(form, kCatalogueChangedMessage);
  return std::nullopt;
}

bool SaveChange(DecompressorForm& form, std::string_view failure,
                const std::function<void(std::vector<std::string>&)>& change) {
  bool saved = false;
  {
    auto edit = BeginCatalogueEdit(form, failure);
    if (!edit) return false;
    std::vector<std::string> entries = edit->Entries();
    change(entries);
    saved = edit->Save(entries).has_value();
  }  // the lock is not held while the message box is open
  if (!saved) Inform(form, failure);
  return saved;
}

void RomList_Click(DecompressorForm& form) {
  auto& controls = form.controls;
  const int chosen = controls.RomList.SelectedIndex();
  if (chosen >= 0 && chosen < static_cast<int>(kRomCatalogues.size()))
    form.state.RomName = std::string(kRomCatalogues[static_cast<std::size_t>(chosen)].baseName);

  controls.CompList.Clear();
  const CatalogueLoad load = LoadCatalogue(CatalogueToRead(Catalogues(form), form.state.RomName));
  form.state.CatalogueComplete = load.status != CatalogueLoad::Status::Failed;
  const bool selectFirst = load.status == CatalogueLoad::Status::Loaded && !load.entries.empty();
  ShowEntries(form, load.entries, selectFirst ? 0 : ListBox::kNoSelection);
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
  form.state.FormatClickedSinceEntry = false;
  const auto format = EntryFormat(entry);
  if (format == Format::Kosinski) controls.OptKos.Select();
  if (format == Format::Nemesis) controls.OptNem.Select();
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
  const std::string description = controls.DescLoc.Text();

  if (!form.state.CatalogueComplete || controls.CompList.Count() >= static_cast<int>(kMaxCatalogueEntries) ||
      DescriptionProblem(description)) {
    Inform(form, kInvalidOffsetMessage);
    return;
  }
  const std::string entry = FormatEntry(form.state.DataOffset, format, description);
  if (!SaveChange(form, kInvalidOffsetMessage, [&](std::vector<std::string>& entries) { entries.push_back(entry); }))
    return;
  controls.CompList.Append(entry);
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

  if (!SaveChange(form, kSelectEntryMessage,
                  [removed](std::vector<std::string>& entries) { entries.erase(entries.begin() + removed); }))
    return;
  list.RemoveAt(removed);
  const int left = list.Count();
  if (left > 0) list.SetSelectedIndex(removed == left ? removed - 1 : removed);
}

}  // namespace quarvel
