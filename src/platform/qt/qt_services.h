// The platform services over Qt Widgets: message boxes, file dialogs, the program's
// folder, and the controls the window's handlers read and set.
#pragma once

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSettings>
#include <QString>
#include <QWidget>

#include <functional>

#include "platform/services.h"

namespace quarvel {

// Qt's own texts (dialogs, buttons) in Brazilian Portuguese, whatever the system's
// language: from Qt's translations, or those shipped beside the program. False when
// none can be found.
bool InstallPortuguese(QCoreApplication& application);

// What the window remembers between runs: the last folder, the preview's choices, the
// recent ROMs, the tiles of each map.
QSettings Remembered();

QString ToQString(std::string_view utf8);
std::string FromQString(const QString& text);

// "Rom Binário(*.BIN)|*.BIN" -> "Rom Binário(*.BIN) (*.BIN *.bin)": the patterns of
// each pair in upper and lower case, so that the dialog matches both on every platform.
QString ToQtFilter(std::string_view filter);

class QtMessageBox : public MessageBoxService {
 public:
  explicit QtMessageBox(QWidget* parent) : parent_(parent) {}
  MessageAnswer Show(const Message& message) override;

 private:
  QWidget* parent_;
};

// The open dialog takes existing files; the save dialog takes new names too and asks
// no overwrite confirmation.
// The open dialog offers the recent files of its list, when it names one, in a box of
// its own ("Recentes:"): the last kRecentFiles noted that still exist.
class QtFileDialogs : public FileDialogService {
 public:
  static constexpr int kRecentFiles = 8;

  explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::filesystem::path> ShowOpen(const FileDialogRequest& request) override;
  std::optional<std::filesystem::path> ShowSave(const FileDialogRequest& request) override;
  void NoteRecent(std::string_view list, const std::filesystem::path& file) override;

 private:
  QWidget* parent_;
};

class QtProgramDirectory : public ProgramDirectoryService {
 public:
  std::filesystem::path ProgramDirectory() const override;
  std::filesystem::path UserDataDirectory() const override;  // as the command line finds it
};

class QtTextBox : public TextBox {
 public:
  explicit QtTextBox(QLineEdit* edit) : edit_(edit) {}
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetToolTip(const std::string& text) override;

 private:
  QLineEdit* edit_;
};

class QtOptionButton : public OptionButton {
 public:
  explicit QtOptionButton(QRadioButton* button) : button_(button) {}
  bool IsSelected() const override;
  void Select() override;  // runs no click handler

 private:
  QRadioButton* button_;
};

// A list of which the user chooses one item: a click or a key selects an item, and
// nothing the user does clears the selection (Ctrl+click, a click on empty space). While
// it has the focus, its frame is drawn in the highlight colour.
class SingleChoiceList : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

// A list whose click handler runs on every user click on an item, also the item already
// selected, on every selection by key, and on every selection from code; clearing and
// removing leave no selection and run nothing.
class QtListBox : public ListBox, public QObject {
 public:
  QtListBox(QListWidget* list, std::function<void()> onClick);
  ~QtListBox() override;
  QtListBox(const QtListBox&) = delete;
  QtListBox& operator=(const QtListBox&) = delete;
  void Clear() override;
  void Append(const std::string& item) override;
  void RemoveAt(int index) override;
  int Count() const override;
  std::string ItemAt(int index) const override;
  int SelectedIndex() const override;
  void SetSelectedIndex(int index) override;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;

  QListWidget* list_;
  std::function<void()> onClick_;
  QMetaObject::Connection userSelection_;
  QMetaObject::Connection userClick_;
  int selectedAtPress_ = kNoSelection;  // the row selected when the mouse button went down
};

}  // namespace quarvel
