#include "ui/tile_preview.h"

#include <QHBoxLayout>
#include <QImage>
#include <QFileInfo>
#include <QPixmap>
#include <QSettings>
#include <QSignalBlocker>
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
constexpr char kEachTilesLine[] = "Linha de cada ladrilho";
constexpr int kEachTile = -1;  // the line choice of a map that draws each tile in its own line

// The palette file the preview shows, and its line.
QString RememberedPaletteFile() { return Remembered().value("preview/palette").toString(); }
int RememberedLine() { return Remembered().value("preview/line", 0).toInt(); }

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
  LineChoice = new QComboBox(this);
  LineChoice->setObjectName("LineChoice");
  LineChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  LineChoice->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // never cut short: the window grows instead
  SavePng = new QPushButton(QString::fromUtf8("Salvar PNG..."), this);
  SavePng->setObjectName("SavePng");
  SavePng->setAutoDefault(false);
  MapTiles = new QPushButton(QString::fromUtf8("Ladrilhos..."), this);
  MapTiles->setObjectName("MapTiles");
  MapTiles->setAutoDefault(false);
  MapText = new QPushButton(QString::fromUtf8("Texto..."), this);
  MapText->setObjectName("MapText");
  MapText->setAutoDefault(false);
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
  controls->addWidget(LineChoice);
  controls->addStretch();
  controls->addWidget(MapTiles);
  controls->addWidget(MapText);
  controls->addWidget(SavePng);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(Picture);
  scroll->setWidgetResizable(false);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addWidget(scroll);
  resize(720, 480);

  // Zoom, tiles a row, palette and line as they were last time, in this run or an earlier one.
  const QSettings settings = Remembered();
  Zoom->setValue(settings.value("preview/zoom", 2).toInt());
  Columns->setValue(settings.value("preview/columns", 16).toInt());
  const QString palette = RememberedPaletteFile();
  if (!palette.isEmpty()) UsePalette(PathFromUtf8(FromQString(palette)), false);
  FillLines();
  MapTiles->hide();
  MapText->hide();

  connect(Zoom, &QSpinBox::valueChanged, this, [this] { Redraw(); });
  connect(Columns, &QSpinBox::valueChanged, this, [this] {
    if (isMap_ && mapActions_.widthChanged) mapActions_.widthChanged(static_cast<unsigned>(Columns->value()));
    Redraw();
  });
  connect(PaletteChoice, &QComboBox::activated, this, [this](int index) { ChoosePalette(index); });
  connect(LineChoice, &QComboBox::activated, this, [this] { Redraw(); });
  connect(SavePng, &QPushButton::clicked, this, [this] { Save(); });
  // Copies: what they do may show another map here, which replaces them.
  connect(MapTiles, &QPushButton::clicked, this, [this] {
    if (const auto act = mapActions_.chooseTiles) act();
  });
  connect(MapText, &QPushButton::clicked, this, [this] {
    if (const auto act = mapActions_.showText) act();
  });
  Redraw();
}

void TilePreview::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape)
    close();
  else
    QWidget::keyPressEvent(event);
}

void TilePreview::Present(const QString& title) {
  setWindowTitle(title);
  MapTiles->setVisible(isMap_);
  MapText->setVisible(isMap_);
  FillLines();
  Redraw();
  show();
  raise();
  activateWindow();
}

void TilePreview::Show(std::vector<std::uint8_t> data, const QString& title, PictureOrigin origin) {
  const bool wasMap = isMap_;
  data_ = std::move(data);
  origin_ = std::move(origin);
  isMap_ = false;
  mapTiles_.clear();
  mapActions_ = {};
  if (wasMap) {
    const QSignalBlocker quiet(Columns);
    Columns->setValue(Remembered().value("preview/columns", 16).toInt());
  }
  Present(title);
}

void TilePreview::ShowMap(std::vector<std::uint8_t> map, std::vector<std::uint8_t> tiles, unsigned width,
                          unsigned firstTile, const QString& title, MapActions actions, PictureOrigin origin) {
  data_ = std::move(map);
  origin_ = std::move(origin);
  mapTiles_ = std::move(tiles);
  firstTile_ = firstTile;
  isMap_ = true;
  mapActions_ = std::move(actions);
  {
    const QSignalBlocker quiet(Columns);
    Columns->setValue(static_cast<int>(width));
  }
  Present(title);
}

ShownLines TilePreview::ShownPalette() {
  const QString file = RememberedPaletteFile();
  const auto lines = file.isEmpty() ? std::nullopt : std::optional(ReadPaletteFile(PathFromUtf8(FromQString(file)), false));
  if (!lines || !*lines) return {};
  const int line = RememberedLine();
  return {**lines, line > 0 && static_cast<std::size_t>(line) < (*lines)->size() ? static_cast<unsigned>(line) : 0};
}

bool TilePreview::UsePalette(const std::filesystem::path& file, bool complain) {
  const auto palette = ReadPaletteFile(file, complain);  // a remembered one must still be a regular file
  if (!palette) {
    if (complain) messages_.Show(Information(kBadPaletteMessage));
    return false;
  }
  loaded_ = *palette;
  const QString name = QFileInfo(ToQString(PathToUtf8(file))).fileName();
  if (PaletteChoice->count() < 3) PaletteChoice->addItem(name);
  PaletteChoice->setItemText(2, name);
  PaletteChoice->setItemData(2, ToQString(PathToUtf8(file)));
  PaletteChoice->setCurrentIndex(2);
  return true;
}

// The lines of the palette shown, and for a map each tile's own first; the line chosen
// stays when there is one.
void TilePreview::FillLines() {
  const int chosen = LineChoice->count() > 0 ? LineChoice->currentData().toInt() : RememberedLine();
  const std::size_t lines = PaletteChoice->currentIndex() == 2 ? loaded_.size() : 1;
  const QSignalBlocker quiet(LineChoice);
  LineChoice->clear();
  if (isMap_) LineChoice->addItem(QString::fromUtf8(kEachTilesLine), kEachTile);
  for (std::size_t line = 0; line < lines; ++line) LineChoice->addItem(QString("Linha %1").arg(line), static_cast<int>(line));
  const int found = LineChoice->findData(chosen);
  LineChoice->setCurrentIndex(found >= 0 ? found : 0);
  LineChoice->setEnabled(LineChoice->count() > 1);
}

void TilePreview::Redraw() {
  const int line = LineChoice->currentData().toInt();
  QSettings settings = Remembered();
  settings.setValue("preview/zoom", Zoom->value());
  if (!isMap_) settings.setValue("preview/columns", Columns->value());
  settings.setValue("preview/palette", PaletteChoice->currentIndex() == 2 ? PaletteChoice->itemData(2) : QVariant());
  if (line != kEachTile) settings.setValue("preview/line", line);
  const std::vector<Palette> lines = PaletteChoice->currentIndex() == 2 ? loaded_ : std::vector<Palette>{GreyPalette()};
  const Palette& drawn = lines[static_cast<std::size_t>(std::clamp<int>(line, 0, static_cast<int>(lines.size()) - 1))];
  const auto zoom = static_cast<unsigned>(Zoom->value()), columns = static_cast<unsigned>(Columns->value());
  auto image = !isMap_ ? RenderTiles(data_, drawn, columns, zoom)
                       : RenderPlaneMap(data_, mapTiles_, line == kEachTile ? lines : std::vector<Palette>{drawn}, columns,
                                        zoom, firstTile_);
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
  FillLines();
  Redraw();
}

void TilePreview::Save() {
  FileDialogRequest request{std::string(kSaveDialogTitle), std::string(kPngFilter)};
  request.proposed = ProposedPicture(origin_);
  auto chosen = PickFile(dialogs_, messages_, FileDialogKind::Save, request);
  if (!chosen) return;
  if (!chosen->has_extension()) chosen->replace_extension(".png");
  if (!MayReplace(messages_, *chosen, neverWritten_)) return;
  // A picture of tiles keeps how it was drawn, so that it reads back as the same tiles.
  const int line = LineChoice->currentData().toInt();
  const PictureLayout layout{std::string(FormatName(origin_.format)), (data_.size() + kTileBytes - 1) / kTileBytes,
                             static_cast<unsigned>(Columns->value()), static_cast<unsigned>(Zoom->value()),
                             static_cast<unsigned>(std::max(line, 0)),
                             origin_.rom.empty() ? std::string()
                                                 : PathToUtf8(origin_.rom.filename()) + "@" + HexOffset(origin_.offset)};
  if (!ReplaceFileContents(*chosen, EncodePng(image_, isMap_ ? nullptr : &layout), {&neverWritten_})) {
    messages_.Show(Information(kPngNotSavedMessage));
    return;
  }
  std::error_code error;
  const auto whole = std::filesystem::absolute(*chosen, error);
  messages_.Show(Information("Imagem salva em " + PathToUtf8(error ? *chosen : whole.lexically_normal()) + "."));
}

}  // namespace quarvel
