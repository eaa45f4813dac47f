#include "ui/tile_preview.h"

#include <QHBoxLayout>
#include <QImage>
#include <QFileInfo>
#include <QPixmap>
#include <QSettings>
#include <QKeyEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "files/files.h"
#include "files/palette_file.h"
#include "platform/qt/qt_services.h"
#include "ui/decompress_command.h"

namespace quarvel {
namespace {

constexpr char kGrey[] = "Tons de cinza";
constexpr char kLoadPalette[] = "Carregar paleta...";
constexpr std::string_view kPaletteDialogTitle = "Selecione uma paleta do Mega Drive.";
constexpr std::string_view kPaletteFilter = "Paleta do Mega Drive(*.BIN;*.PAL)|*.BIN;*.PAL";
constexpr std::string_view kSaveDialogTitle = "Salvar a imagem como PNG.";
constexpr std::string_view kPngFilter = "Imagem PNG(*.PNG)|*.PNG";
constexpr std::string_view kBadPaletteMessage = "O arquivo não contém uma paleta do Mega Drive (1 a 4 linhas de 16 cores: 32, 64, 96 ou 128 bytes).";
constexpr std::string_view kPngNotSavedMessage = "Não foi possível salvar a imagem.";

// Where the preview keeps its settings between runs.
QSettings Remembered() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "quarvel", "quarvel"); }

}  // namespace

TilePreview::TilePreview(std::vector<std::uint8_t> data, const QString& title, MessageBoxService& messages,
                         FileDialogService& dialogs, ProtectedFiles neverWritten, QWidget* parent)
    : QWidget(parent, Qt::Window),
      data_(std::move(data)),
      messages_(messages),
      dialogs_(dialogs),
      neverWritten_(std::move(neverWritten)) {
  setObjectName("TilePreview");
  setWindowTitle(title);
  setAttribute(Qt::WA_DeleteOnClose);

  Zoom = new QSpinBox(this);
  Zoom->setObjectName("Zoom");
  Zoom->setRange(1, static_cast<int>(kMaxZoom));
  Zoom->setSuffix("x");
  Columns = new QSpinBox(this);
  Columns->setObjectName("Columns");
  Columns->setRange(1, 256);
  PaletteChoice = new QComboBox(this);
  PaletteChoice->setObjectName("PaletteChoice");
  PaletteChoice->addItems({QString::fromUtf8(kGrey), QString::fromUtf8(kLoadPalette)});
  SavePng = new QPushButton(QString::fromUtf8("Salvar PNG..."), this);
  SavePng->setObjectName("SavePng");
  SavePng->setAutoDefault(false);
  Picture = new QLabel(this);
  Picture->setObjectName("Picture");
  Picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel("Zoom:", this));
  controls->addWidget(Zoom);
  controls->addWidget(new QLabel("Ladrilhos por linha:", this));
  controls->addWidget(Columns);
  controls->addWidget(new QLabel("Paleta:", this));
  controls->addWidget(PaletteChoice);
  controls->addStretch();
  controls->addWidget(SavePng);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(Picture);
  scroll->setWidgetResizable(false);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addWidget(scroll);
  resize(640, 480);

  // Zoom, tiles a row and palette as they were last time, in this run or an earlier one.
  const QSettings settings = Remembered();
  Zoom->setValue(settings.value("preview/zoom", 2).toInt());
  Columns->setValue(settings.value("preview/columns", 16).toInt());
  const QString palette = settings.value("preview/palette").toString();
  if (!palette.isEmpty()) UsePalette(PathFromUtf8(FromQString(palette)), false);

  connect(Zoom, &QSpinBox::valueChanged, this, [this] { Redraw(); });
  connect(Columns, &QSpinBox::valueChanged, this, [this] { Redraw(); });
  connect(PaletteChoice, &QComboBox::activated, this, [this](int index) { ChoosePalette(index); });
  connect(SavePng, &QPushButton::clicked, this, [this] { Save(); });
  Redraw();
}

void TilePreview::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape)
    close();
  else
    QWidget::keyPressEvent(event);
}

void TilePreview::Show(std::vector<std::uint8_t> data, const QString& title) {
  data_ = std::move(data);
  setWindowTitle(title);
  Redraw();
  show();
  raise();
  activateWindow();
}

bool TilePreview::UsePalette(const std::filesystem::path& file, bool complain) {
  const auto palette = ReadPaletteFile(file, complain);  // a remembered one must still be a regular file
  if (!palette) {
    if (complain) messages_.Show(Information(kBadPaletteMessage));
    return false;
  }
  loaded_ = palette->front();
  const QString name = QFileInfo(ToQString(PathToUtf8(file))).fileName();
  if (PaletteChoice->count() < 3) PaletteChoice->addItem(name);
  PaletteChoice->setItemText(2, name);
  PaletteChoice->setItemData(2, ToQString(PathToUtf8(file)));
  PaletteChoice->setCurrentIndex(2);
  return true;
}

void TilePreview::Redraw() {
  QSettings settings = Remembered();
  settings.setValue("preview/zoom", Zoom->value());
  settings.setValue("preview/columns", Columns->value());
  settings.setValue("preview/palette", PaletteChoice->currentIndex() == 2 ? PaletteChoice->itemData(2) : QVariant());
  auto image = RenderTiles(data_, PaletteChoice->currentIndex() == 2 ? loaded_ : GreyPalette(),
                           static_cast<unsigned>(Columns->value()), static_cast<unsigned>(Zoom->value()));
  if (!image) return;
  image_ = std::move(*image);
  QImage picture(image_.pixels.data(), static_cast<int>(image_.width), static_cast<int>(image_.height),
                 static_cast<qsizetype>(image_.width), QImage::Format_Indexed8);
  QList<QRgb> colours;
  for (const Rgb& c : image_.palette) colours.append(qRgb(c.r, c.g, c.b));
  picture.setColorTable(colours);
  Picture->setPixmap(QPixmap::fromImage(picture));
  Picture->resize(Picture->pixmap().size());
}

void TilePreview::ChoosePalette(int index) {
  if (index == 1) {
    const auto chosen = PickFile(dialogs_, messages_, FileDialogKind::Open,
                                 {std::string(kPaletteDialogTitle), std::string(kPaletteFilter)});
    if (!chosen || !UsePalette(*chosen, true)) PaletteChoice->setCurrentIndex(PaletteChoice->count() > 2 ? 2 : 0);
  }
  Redraw();
}

void TilePreview::Save() {
  auto chosen = PickFile(dialogs_, messages_, FileDialogKind::Save, {std::string(kSaveDialogTitle), std::string(kPngFilter)});
  if (!chosen) return;
  if (!chosen->has_extension()) chosen->replace_extension(".png");
  if (!MayReplace(messages_, *chosen, neverWritten_)) return;
  if (!ReplaceFileContents(*chosen, EncodePng(image_), {&neverWritten_}))
    messages_.Show(Information(kPngNotSavedMessage));
}

}  // namespace quarvel
