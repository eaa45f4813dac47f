#include "platform/qt/qt_services.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
#include <QFileInfo>
#include <QSettings>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QSignalBlocker>
#include <QStringList>

#include "files/files.h"
#include "platform/program_directory.h"

namespace quarvel {

QSettings Remembered() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "quarvel", "quarvel"); }

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

bool InstallPortuguese(QCoreApplication& application) {
  auto* translator = new QTranslator(&application);
  const QString folder = QCoreApplication::applicationDirPath();
  for (const QString& place : {QLibraryInfo::path(QLibraryInfo::TranslationsPath), folder + "/translations",
                               folder + "/../share/quarvel/translations"}) {
    if (translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), "qtbase", "_", place)) {
      QCoreApplication::installTranslator(translator);
      return true;
    }
  }
  return false;
}

MessageAnswer QtMessageBox::Show(const Message& message) {
  const QString title = ToQString(message.title ? *message.title : kApplicationTitle);
  QMessageBox box(message.icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon, title,
                  ToQString(message.text), QMessageBox::NoButton, parent_);
  if (message.buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QString::fromUtf8("Sim"));
    box.button(QMessageBox::No)->setText(QString::fromUtf8("Não"));
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  if (!message.detail.empty()) box.setDetailedText(ToQString(message.detail));
  // A box no narrower than its title, which window managers cut short otherwise.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = QFontMetrics(box.font()).horizontalAdvance(title) + 120;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
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

// Each filter shown by its description alone, which names its patterns already: "Rom
// Binário(*.BIN)", not the patterns added for the other case.
constexpr QFileDialog::Options kShownFilters = QFileDialog::HideNameFilterDetails;

QString LastFolder() { return Remembered().value("dialogs/folder").toString(); }

std::optional<std::filesystem::path> Remember(const QString& file) {
  if (!file.isEmpty()) Remembered().setValue("dialogs/folder", QFileInfo(file).absolutePath());
  return Chosen(file);
}

QString RecentKey(std::string_view list) { return "recent/" + ToQString(list); }

// The recent files of `list` that are still there, the last noted first.
QStringList RecentFiles(std::string_view list) {
  QStringList files;
  for (const QString& file : Remembered().value(RecentKey(list)).toStringList())
    if (QFileInfo(file).isFile()) files << file;
  return files;
}

}  // namespace

std::optional<std::filesystem::path> QtFileDialogs::ShowOpen(const FileDialogRequest& request) {
  const QStringList recent = request.recent.empty() ? QStringList() : RecentFiles(request.recent);
  if (recent.isEmpty()) {
    return Remember(
        QFileDialog::getOpenFileName(parent_, ToQString(request.title), LastFolder(), ToQtFilter(request.filter), nullptr,
                                     kShownFilters));
  }
  QFileDialog dialog(parent_, ToQString(request.title), LastFolder(), ToQtFilter(request.filter));
  dialog.setOptions(kShownFilters | QFileDialog::DontUseNativeDialog);  // the recent files need a row of their own
  dialog.setFileMode(QFileDialog::ExistingFile);
  auto* recentBox = new QComboBox(&dialog);
  recentBox->setObjectName("Recent");
  recentBox->addItem(QString::fromUtf8("(escolha um arquivo recente)"));
  for (const QString& file : recent) recentBox->addItem(QFileInfo(file).fileName() + "  —  " + QFileInfo(file).absolutePath(), file);
  QString chosenRecent;
  QObject::connect(recentBox, &QComboBox::activated, &dialog, [&](int index) {
    if (index <= 0) return;
    chosenRecent = recentBox->itemData(index).toString();
    static_cast<QDialog&>(dialog).done(QDialog::Accepted);
  });
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(QString::fromUtf8("Recentes:"), &dialog), row, 0);
    grid->addWidget(recentBox, row, 1, 1, grid->columnCount() - 1);
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return Remember(!chosenRecent.isEmpty() ? chosenRecent : dialog.selectedFiles().value(0));
}

void QtFileDialogs::NoteRecent(std::string_view list, const std::filesystem::path& file) {
  const QString path = ToQString(PathToUtf8(file));
  QStringList files = Remembered().value(RecentKey(list)).toStringList();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kRecentFiles) files.removeLast();
  Remembered().setValue(RecentKey(list), files);
}

std::optional<std::filesystem::path> QtFileDialogs::ShowSave(const FileDialogRequest& request) {
  const QString start = request.proposed.empty() ? LastFolder() : ToQString(PathToUtf8(request.proposed));
  return Remember(QFileDialog::getSaveFileName(parent_, ToQString(request.title), start,
                                               ToQtFilter(request.filter), nullptr,
                                               kShownFilters | QFileDialog::DontConfirmOverwrite));
}

std::filesystem::path QtProgramDirectory::ProgramDirectory() const {
  return PathFromUtf8(FromQString(QCoreApplication::applicationDirPath()));
}

// The same folder as the command line's, by the same rules.
std::filesystem::path QtProgramDirectory::UserDataDirectory() const { return quarvel::UserDataDirectory(); }

std::string QtTextBox::Text() const { return FromQString(edit_->text()); }

void QtTextBox::SetText(const std::string& text) { edit_->setText(ToQString(text)); }

void QtTextBox::SetToolTip(const std::string& text) { edit_->setToolTip(ToQString(text)); }

bool QtOptionButton::IsSelected() const { return button_->isChecked(); }

void QtOptionButton::Select() {
  const QSignalBlocker quiet(button_);
  button_->setChecked(true);
}

bool SingleChoiceList::event(QEvent* event) {
  const bool handled = QListWidget::event(event);
  if (event->type() == QEvent::Paint && hasFocus()) {  // over the frame, around the items
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  }
  return handled;
}

void SingleChoiceList::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  update();
}

void SingleChoiceList::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  update();
}

QItemSelectionModel::SelectionFlags SingleChoiceList::selectionCommand(const QModelIndex& index,
                                                                       const QEvent* event) const {
  if (!index.isValid()) return QItemSelectionModel::NoUpdate;
  const auto command = QListWidget::selectionCommand(index, event);
  if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) return QItemSelectionModel::ClearAndSelect;
  return command;
}

QtListBox::QtListBox(QListWidget* list, std::function<void()> onClick) : list_(list), onClick_(std::move(onClick)) {
  // A selection that changes runs the handler; a click that changes nothing, on the
  // item already selected, runs it too.
  userSelection_ = QObject::connect(list_, &QListWidget::itemSelectionChanged, list_, [this] {
    if (SelectedIndex() != kNoSelection) onClick_();
  });
  userClick_ = QObject::connect(list_, &QListWidget::itemClicked, list_, [this](QListWidgetItem* item) {
    if (list_->row(item) == selectedAtPress_ && SelectedIndex() == selectedAtPress_) onClick_();
  });
  list_->viewport()->installEventFilter(this);
}

QtListBox::~QtListBox() {
  QObject::disconnect(userSelection_);
  QObject::disconnect(userClick_);
  list_->viewport()->removeEventFilter(this);
}

bool QtListBox::eventFilter(QObject*, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) selectedAtPress_ = SelectedIndex();
  return false;
}

void QtListBox::Clear() {
  const QSignalBlocker quiet(list_);
  list_->clear();
}

void QtListBox::Append(const std::string& item) {
  const QSignalBlocker quiet(list_);
  list_->addItem(ToQString(item));
  list_->item(list_->count() - 1)->setToolTip(ToQString(item));  // the whole text, where the list cuts it short
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
