#include "ui/map_tiles_dialog.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "catalogue/entry.h"
#include "offset/offset_text.h"
#include "platform/qt/qt_services.h"
#include "ui/decompress_command.h"

namespace quarvel {
namespace {

constexpr int kFileItem = -2;  // the data of the file picked
constexpr int kPickFile = -1;  // of "Um arquivo..."
constexpr std::string_view kTilesDialogTitle = "Selecione o arquivo com os ladrilhos do mapa.";
constexpr std::string_view kTilesFilter = "Ladrilhos descomprimidos (*)|*";

}  // namespace

MapTilesDialog::MapTilesDialog(std::vector<std::string> entries, std::int32_t mapOffset,
                               const std::optional<MapTilesSource>& remembered, FileDialogService& dialogs,
                               MessageBoxService& messages, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)), dialogs_(dialogs), messages_(messages) {
  setObjectName("MapTiles");
  setWindowTitle(QString::fromUtf8("Ladrilhos do mapa"));
  Source = new QComboBox(this);
  Source->setObjectName("Source");
  for (std::size_t i = 0; i < entries_.size(); ++i) Source->addItem(ToQString(entries_[i]), static_cast<int>(i));
  Source->addItem(QString::fromUtf8("Um arquivo..."), kPickFile);
  Width = new QSpinBox(this);
  Width->setObjectName("Width");
  Width->setRange(1, 256);
  Width->setValue(static_cast<int>(remembered ? remembered->width : MapTilesSource::kDefaultMapWidth));
  First = new QSpinBox(this);
  First->setObjectName("First");
  First->setRange(-1, 0x7FF);
  First->setDisplayIntegerBase(16);
  First->setPrefix("0x");
  First->setSpecialValueText(QString::fromUtf8("automático"));
  First->setValue(remembered && remembered->firstTile ? static_cast<int>(*remembered->firstTile) : -1);
  First->setToolTip(QString::fromUtf8(
      "O ladrilho da memória de vídeo onde os ladrilhos começam: o índice de cada palavra do mapa conta a partir dele.\n"
      "Automático: 0, ou, quando o menor índice do mapa passa dos ladrilhos, esse índice arredondado para baixo a 0x20."));
  Draw = new QPushButton(QString::fromUtf8("Desenhar"), this);
  Draw->setDefault(true);
  TextOnly = new QPushButton(QString::fromUtf8("Só o texto"), this);
  TextOnly->setAutoDefault(false);
  Cancel = new QPushButton(QString::fromUtf8("Cancelar"), this);
  Cancel->setAutoDefault(false);

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8("Ladrilhos:"), Source);
  form->addRow(QString::fromUtf8("Ladrilhos por linha:"), Width);
  form->addRow(QString::fromUtf8("Primeiro ladrilho:"), First);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* button : {Draw, TextOnly, Cancel}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8("O mapa é desenhado com os ladrilhos de um bloco do catálogo ou de um arquivo."), this));
  layout->addLayout(form);
  layout->addLayout(buttons);

  if (remembered && !remembered->file.empty()) {
    SetFile(remembered->file);
  } else if (remembered) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const auto offset = ParseOffsetText(EntryOffsetText(entries_[i]), Radix::Hex);
      if (offset && *offset == remembered->offset && EntryFormat(entries_[i]) == remembered->format)
        Source->setCurrentIndex(static_cast<int>(i));
    }
  } else if (const auto nearest = NearestTileEntry(entries_, mapOffset)) {
    Source->setCurrentIndex(static_cast<int>(*nearest));
  }
  Draw->setEnabled(Chosen().has_value());
  connect(Source, &QComboBox::activated, this, [this](int index) { SourceChosen(index); });
  connect(Draw, &QPushButton::clicked, this, &QDialog::accept);
  connect(TextOnly, &QPushButton::clicked, this, [this] { done(kTextOnly); });
  connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void MapTilesDialog::SourceChosen(int index) {
  if (Source->itemData(index).toInt() == kPickFile) {
    const auto chosen = PickFile(dialogs_, messages_, FileDialogKind::Open,
                                 {std::string(kTilesDialogTitle), std::string(kTilesFilter)});
    if (chosen) {
      SetFile(*chosen);
    } else {
      const int file = Source->findData(kFileItem);
      Source->setCurrentIndex(file >= 0 ? file : 0);
    }
  }
  Draw->setEnabled(Chosen().has_value());
}

void MapTilesDialog::SetFile(const std::filesystem::path& file) {
  file_ = file;
  const QString text = QString::fromUtf8("Arquivo: ") + QFileInfo(ToQString(PathToUtf8(file))).fileName();
  int item = Source->findData(kFileItem);
  if (item < 0) {
    item = Source->count() - 1;
    Source->insertItem(item, text, kFileItem);
  }
  Source->setItemText(item, text);
  Source->setItemData(item, ToQString(PathToUtf8(file)), Qt::ToolTipRole);
  Source->setCurrentIndex(item);
}

std::optional<MapTilesSource> MapTilesDialog::Chosen() const {
  MapTilesSource source;
  source.width = static_cast<unsigned>(Width->value());
  if (First->value() >= 0) source.firstTile = static_cast<unsigned>(First->value());
  const int data = Source->currentData().toInt();
  if (data == kFileItem) {
    source.file = file_;
    return source;
  }
  if (data < 0 || static_cast<std::size_t>(data) >= entries_.size()) return std::nullopt;
  const std::string& entry = entries_[static_cast<std::size_t>(data)];
  const auto offset = ParseOffsetText(EntryOffsetText(entry), Radix::Hex);
  const auto format = EntryFormat(entry);
  if (!offset || !format) return std::nullopt;
  source.offset = *offset;
  source.format = *format;
  return source;
}

}  // namespace quarvel
