#include "platform/qt/qt_services.h"

#include <QStandardPaths>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStringList>

#include "files/files.h"

namespace quarvel {

QString ToQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

std::string FromQString(const QString& text) { return text.toStdString(); }

QString ToQtFilter(std::string_view filter) {
  const QStringList parts = ToQString(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
      for (const QString& variant : {pattern, pattern.toUpper(), pattern.toLower()})
        if (!patterns.contains(variant)) patterns << variant;
    }
    filters << parts[i] + " (" + patterns.join(u' ') + ")";
  }
  return filters.join(";;");
}

MessageAnswer QtMessageBox::Show(const Message& message) {
  const QString title = ToQString(message.title ? *message.title : kApplicationTitle);
  QMessageBox box(message.icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon, title,
                  ToQString(message.text), QMessageBox::NoButton, parent_);
  if (message.buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int answer = box.exec();
  if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

namespace {

std::optional<std::filesystem::path> Chosen(const QString& file) {
  if (file.isEmpty()) return std::nullopt;
  return PathFromUtf8(FromQString(file));
}

}  // namespace

std::optional<std::filesystem::path> QtFileDialogs::ShowOpen(const FileDialogRequest& request) {
  return Chosen(QFileDialog::getOpenFileName(parent_, ToQString(request.title), QString(), ToQtFilter(request.filter)));
}

std::optional<std::filesystem::path> QtFileDialogs::ShowSave(const FileDialogRequest& request) {
  return Chosen(QFileDialog::getSaveFileName(parent_, ToQString(request.title), QString(), ToQtFilter(request.filter),
                                             nullptr, QFileDialog::DontConfirmOverwrite));
}

std::filesystem::path QtProgramDirectory::ProgramDirectory() const {
  return PathFromUtf8(FromQString(QCoreApplication::applicationDirPath()));
}

std::filesystem::path QtProgramDirectory::UserDataDirectory() const {
  return PathFromUtf8(FromQString(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
}

std::string QtTextBox::Text() const { return FromQString(edit_->text()); }

void QtTextBox::SetText(const std::string& text) { edit_->setText(ToQString(text)); }

bool QtOptionButton::IsSelected() const { return button_->isChecked(); }

void QtOptionButton::Select() {
  const QSignalBlocker quiet(button_);
  button_->setChecked(true);
}

QtListBox::QtListBox(QListWidget* list, std::function<void()> onClick) : list_(list), onClick_(std::move(onClick)) {
  userSelection_ = QObject::connect(list_, &QListWidget::itemSelectionChanged, list_, [this] {
    if (SelectedIndex() != kNoSelection) onClick_();
  });
}

QtListBox::~QtListBox() { QObject::disconnect(userSelection_); }

void QtListBox::Clear() {
  const QSignalBlocker quiet(list_);
  list_->clear();
}

void QtListBox::Append(const std::string& item) {
  const QSignalBlocker quiet(list_);
  list_->addItem(ToQString(item));
}

void QtListBox::RemoveAt(int index) {
  const QSignalBlocker quiet(list_);
  delete list_->takeItem(index);
  list_->setCurrentRow(-1);
  list_->clearSelection();
}

int QtListBox::Count() const { return list_->count(); }

std::string QtListBox::ItemAt(int index) const { return FromQString(list_->item(index)->text()); }

int QtListBox::SelectedIndex() const {
  const auto selected = list_->selectedItems();
  return selected.empty() ? kNoSelection : list_->row(selected.front());
}

void QtListBox::SetSelectedIndex(int index) {
  {
    const QSignalBlocker quiet(list_);
    list_->setCurrentRow(index);
  }
  if (index >= 0) onClick_();
}

}  // namespace quarvel
