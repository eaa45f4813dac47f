// What the window's logic needs of its desktop platform. The window implements these
// with Qt widgets; the tests implement them in memory, so every handler runs without
// a screen or a modal box.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quarvel {

// The caption of every message box that is given no title of its own.
inline constexpr std::string_view kApplicationTitle = "Quarvel Descompressor v1.00";

enum class MessageButtons { Ok, YesNo };  // YesNo has Yes as its default button
enum class MessageIcon { None, Information };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
  std::string text;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::Information;
  std::optional<std::string> title;  // none: kApplicationTitle
  std::string detail{};              // why, behind a "Mostrar detalhes..." button; none when empty

  bool operator==(const Message&) const = default;
};

// A box with an information icon and one OK button.
inline Message Information(std::string_view text, std::optional<std::string> title = std::nullopt) {
  return {std::string(text), MessageButtons::Ok, MessageIcon::Information, std::move(title)};
}

// A modal message box: returns once the user has closed it, with the button chosen.
class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  virtual MessageAnswer Show(const Message& message) = 0;
};

struct FileDialogRequest {
  std::string title;
  std::string filter;  // description|pattern pairs, e.g. "(*.DAT)|*.DAT"
  std::string recent{};  // the name of a list of recent files to offer too (see NoteRecent); none when empty
  std::filesystem::path proposed{};  // a save dialog's file to start with, its folder and name; none when empty

  bool operator==(const FileDialogRequest&) const = default;
};

// The system's modal file dialogs. Each returns the chosen path, or nothing when the
// user cancelled. The open dialog takes existing files only; the save dialog also
// takes a name that does not exist yet and asks no overwrite confirmation.
class FileDialogService {
 public:
  virtual ~FileDialogService() = default;
  virtual std::optional<std::filesystem::path> ShowOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<std::filesystem::path> ShowSave(const FileDialogRequest& request) = 0;
  // Puts `file` first in the list of recent files `list`, remembered between runs.
  virtual void NoteRecent(std::string_view list, const std::filesystem::path& file) {
    (void)list;
    (void)file;
  }
};

// The folders of the program's files: the one that holds the program, and the user's
// own data folder (see LocateCatalogues for where the catalogue files live).
class ProgramDirectoryService {
 public:
  virtual ~ProgramDirectoryService() = default;
  virtual std::filesystem::path ProgramDirectory() const = 0;
  virtual std::filesystem::path UserDataDirectory() const = 0;
};

// A single-line text box; texts are UTF-8.
class TextBox {
 public:
  virtual ~TextBox() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetToolTip(const std::string& text) = 0;
};

// One option of a group of two: selecting it deselects its partner. Selecting from
// code runs no click handler.
class OptionButton {
 public:
  virtual ~OptionButton() = default;
  virtual bool IsSelected() const = 0;
  virtual void Select() = 0;
};

// A list of texts with at most one selected item. Setting the selected index from code
// runs the list's click handler at once, as a user's click does, before the setter
// returns.
class ListBox {
 public:
  static constexpr int kNoSelection = -1;

  virtual ~ListBox() = default;
  virtual void Clear() = 0;
  virtual void Append(const std::string& item) = 0;
  virtual void RemoveAt(int index) = 0;
  virtual int Count() const = 0;
  virtual std::string ItemAt(int index) const = 0;
  virtual int SelectedIndex() const = 0;
  virtual void SetSelectedIndex(int index) = 0;
};

}  // namespace quarvel
