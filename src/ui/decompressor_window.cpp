#include "ui/decompressor_window.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QPainter>
#include <QIcon>
#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QDialog>
#include <QDragEnterEvent>
#include <QFile>
#include <QVBoxLayout>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QSettings>
#include <QShortcut>
#include <QValidator>

#include <thread>

#include "catalogue/entry.h"
#include "catalogue/rom_names.h"
#include "formats/format_table.h"
#include "preview/tile_image.h"
#include "ui/catalogue_commands.h"
#include "ui/decompress_command.h"
#include "ui/map_tiles_dialog.h"
#include "ui/radix_switch.h"
#include "ui/scan_results_dialog.h"
#include "ui/tile_preview.h"
#include "ui/tools_commands.h"

namespace quarvel {
namespace {

// Places are kept in twips, 15 to a pixel, as the layout is drawn up.
QRect Twips(int left, int top, int width, int height) { return {left / 15, top / 15, width / 15, height / 15}; }

QFont SansFont(bool bold = false) {
  QFont font;
  font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans", "sans-serif"});
  font.setPixelSize(11);
  font.setBold(bold);
  return font;
}

QFont FixedPitchFont() {
  QFont font;
  font.setFamilies({"Liberation Mono", "DejaVu Sans Mono", "monospace"});
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(12);
  return font;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, QRect place) {
  widget->setObjectName(name);
  widget->setGeometry(place);
  return widget;
}

// A frame as the layout was measured for: its etched border inside its own box, the top
// line passing through the middle of the caption.
class CaptionedFrame : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect border = rect().adjusted(0, metrics.height() / 2, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(border.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.adjusted(1, 1, 0, 0));
    const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
  }
};

QGroupBox* Frame(QWidget* parent, const char* name, const char* caption, QRect place) {
  return Place(new CaptionedFrame(QString::fromUtf8(caption), parent), name, place);
}

// A button that Space and Return press when it has the focus.
QPushButton* Button(QWidget* parent, const char* name, const char* caption, QRect place) {
  auto* button = Place(new QPushButton(QString::fromUtf8(caption), parent), name, place);
  button->setAutoDefault(true);
  return button;
}

// Tab stops once in a pair of options, on the one selected; a click still reaches both.
void TabStopOnTheChosen(QRadioButton* a, QRadioButton* b) {
  const auto follow = [a, b] {
    a->setFocusPolicy(a->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  };
  QObject::connect(a, &QRadioButton::toggled, a, follow);
  follow();
}

QLineEdit* TextField(QWidget* parent, const char* name, const char* text, QRect place) {
  return Place(new QLineEdit(QString::fromUtf8(text), parent), name, place);
}

QRadioButton* Option(QWidget* parent, const char* name, const char* caption, QRect place) {
  return Place(new QRadioButton(QString::fromUtf8(caption), parent), name, place);
}

QLabel* Label(QWidget* parent, const char* name, const char* text, QRect place, Qt::Alignment alignment,
              bool bold = false) {
  auto* label = Place(new QLabel(QString::fromUtf8(text), parent), name, place);
  label->setAlignment(alignment | Qt::AlignVCenter);
  if (bold) label->setFont(SansFont(true));
  return label;
}

// Takes only the text that a catalogue entry can hold: no character that Windows-1252 lacks.
class CatalogueTextValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    return DescriptionProblem(FromQString(input)) ? Invalid : Acceptable;
  }
};

}  // namespace

struct Decompressor::Adapters {
  QtTextBox text2, text3, displayLoc, displayLoc2, descLoc;
  QtOptionButton optHex, optDec, optKos, optNem;
  QtListBox compList, romList;
};

Decompressor::Decompressor(MessageBoxService& messages, FileDialogService& dialogs,
                           ProgramDirectoryService& programDirectory) {
  setObjectName("Decompressor");
  setWindowTitle(kWindowCaption);
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QString(":/icons/%1.png").arg(size));
  setWindowIcon(icon);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(SansFont());
  setFixedSize(451, 469);
  setAcceptDrops(true);  // a ROM dropped on the window is the source
  BuildControls();

  adapters_.reset(new Adapters{QtTextBox(Text2), QtTextBox(Text3), QtTextBox(DisplayLoc), QtTextBox(DisplayLoc2),
                               QtTextBox(DescLoc), QtOptionButton(OptHex), QtOptionButton(OptDec),
                               QtOptionButton(OptKos), QtOptionButton(OptNem),
                               QtListBox(CompList, [this] { CompList_Click(*form_); }),
                               QtListBox(RomList, [this] { RomList_Click(*form_); })});
  auto& a = *adapters_;
  form_.reset(new DecompressorForm{
      {a.text2, a.text3, a.displayLoc, a.displayLoc2, a.optHex, a.optDec, a.optKos, a.optNem, a.descLoc, a.compList,
       a.romList},
      {messages, dialogs, programDirectory},
      RealDriver(),
      {}});
  form_->shownPalette = &TilePreview::ShownPalette;
  form_->openSource = [this](const std::filesystem::path& rom) { OpenSource(rom); };
  Wire();
}

Decompressor::~Decompressor() = default;

void Decompressor::BuildControls() {
  constexpr auto kLeft = Qt::AlignLeft;
  constexpr auto kCentre = Qt::AlignHCenter;

  QGroupBox* frame3 = Frame(this, "Frame3", "Localização dos dados no Rom:", Twips(120, 1680, 2655, 1335));
  CmdDescomprime = Button(frame3, "CmdDescomprime", "Descomprime", Twips(360, 840, 1815, 255));
  DisplayLoc = TextField(frame3, "DisplayLoc", "0", Twips(360, 360, 1815, 285));
  DisplayLoc->setFont(FixedPitchFont());
  DisplayLoc->setAlignment(Qt::AlignRight);

  QGroupBox* frame5 = Frame(this, "Frame5", "Adicionar Localização:", Twips(2880, 1680, 3735, 1335));
  DisplayLoc2 = TextField(frame5, "DisplayLoc2", "0", Twips(240, 840, 1215, 285));
  DisplayLoc2->setAlignment(Qt::AlignRight);
  AddLoc = Button(frame5, "AddLoc", "Adicionar Localização", Twips(1560, 840, 1935, 285));
  DescLoc = TextField(frame5, "DescLoc", "Digite a descrição dos dados ", Twips(240, 480, 3255, 285));
  DescLoc->setMaxLength(40);
  DescLoc->setValidator(new CatalogueTextValidator(DescLoc));

  QGroupBox* frame4 = Frame(this, "Frame4", "Localizações Conhecidas", Twips(120, 3000, 6495, 2775));
  CompList = Place(new SingleChoiceList(frame4), "CompList", Twips(1800, 480, 4575, 1815));
  CompList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // a long description is cut short, never a row hidden
  CompList->setTextElideMode(Qt::ElideRight);
  DelLoc = Button(frame4, "DelLoc", "Remover Localização", Twips(2400, 2400, 1935, 255));
  RomList = Place(new SingleChoiceList(frame4), "RomList", Twips(120, 480, 1695, 1815));
  for (const auto& rom : kRomCatalogues) RomList->addItem(ToQString(rom.listText));
  Label(frame4, "Label3", "Localização /  Tipo /  Descrição", Twips(1920, 240, 4215, 255), kLeft);
  Label(frame4, "Label2", "Rom", Twips(120, 240, 1575, 255), kCentre);

  QGroupBox* frame2 = Frame(this, "Frame2", "Offset Input:", Twips(120, 1080, 3105, 495));
  OptHex = Option(frame2, "OptHex", "Hex", Twips(1800, 240, 735, 195));
  OptDec = Option(frame2, "OptDec", "Dec", Twips(360, 240, 855, 195));
  OptHex->setChecked(true);

  QGroupBox* frame1 = Frame(this, "Frame1", "Compressão Tipo:", Twips(3360, 1080, 3240, 495));
  OptNem = Option(frame1, "OptNem", "Nemesis", Twips(1680, 240, 975, 195));
  OptKos = Option(frame1, "OptKos", "Kosinski", Twips(240, 240, 1095, 195));
  OptKos->setChecked(true);

  Text3 = TextField(this, "Text3", "", Twips(240, 600, 4935, 285));
  Text2 = TextField(this, "Text2", "", Twips(255, 120, 4920, 285));
  Text2->setReadOnly(true);  // they show the picked paths; "Origem" and "Destino" change them
  Text3->setReadOnly(true);
  CmdDestino = Button(this, "CmdDestino", "Destino", Twips(5280, 600, 1335, 255));
  CmdOrigem = Button(this, "CmdOrigem", "Origem", Twips(5280, 120, 1335, 255));

  Label(this, "Label5", "Mega Drive", Twips(2640, 5880, 1320, 255), kCentre);
  Label(this, "Label6", "Quarvel Descompressor", Twips(2400, 6120, 1935, 255), kCentre, true);
  Label(this, "Label9", "Versão 2.00", Twips(2520, 6480, 1695, 255), kCentre);
  Label(this, "Label7", "Formatos:", Twips(240, 6720, 1335, 255), kCentre, true);
  Label(this, "Label1", "Kosinski", Twips(1680, 6720, 1095, 255), kCentre);
  Label(this, "Label8", "e", Twips(4200, 6720, 855, 255), kCentre, true);
  Label(this, "Label4", "Nemesis", Twips(5040, 6720, 1575, 255), kCentre);

  TabStopOnTheChosen(OptHex, OptDec);
  TabStopOnTheChosen(OptKos, OptNem);
  const QWidget* order[] = {CmdOrigem, CmdDestino, Text2,   Text3,   OptKos, OptNem,  OptDec, OptHex,
                            DisplayLoc, CmdDescomprime, RomList, CompList, DelLoc, DescLoc, AddLoc, DisplayLoc2};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
  CmdOrigem->setFocus();
}

void Decompressor::Wire() {
  auto on = [this](QPushButton* button, void (*handler)(DecompressorForm&)) {
    connect(button, &QPushButton::clicked, this, [this, handler] { handler(*form_); });
  };
  on(CmdOrigem, CmdOrigem_Click);
  on(CmdDestino, CmdDestino_Click);
  on(CmdDescomprime, CmdDescomprime_Click);
  connect(AddLoc, &QPushButton::clicked, this, [this] {
    const int before = CompList->count();
    AddLoc_Click(*form_);
    ShowAddedEntries(before);
  });
  on(DelLoc, DelLoc_Click);
  for (QRadioButton* option : {OptKos, OptNem})
    connect(option, &QRadioButton::clicked, this, [this] { FormatOption_Click(*form_); });
  connect(OptHex, &QRadioButton::toggled, this, [this](bool chosen) {
    if (chosen) OptHex_Click(*form_);
  });
  connect(OptDec, &QRadioButton::toggled, this, [this](bool chosen) {
    if (chosen) OptDec_Click(*form_);
  });

  PreviewAction = new QAction("Visualizar", this);
  PreviewAction->setShortcut(QKeySequence(Qt::Key_F5));  // shown in the menu; the window's F5 runs it
  PreviewAction->setShortcutVisibleInContextMenu(true);
  ScanAction = new QAction("Procurar blocos no ROM", this);
  connect(PreviewAction, &QAction::triggered, this, [this] { OpenPreview(); });
  connect(ScanAction, &QAction::triggered, this, [this] { ScanForBlocks(); });
  DecompressAsMenu = new QMenu("Descomprimir como", this);
  for (const FormatInfo& info : Formats()) {
    if (info.format == Format::Kosinski || info.format == Format::Nemesis) continue;
    const Format format = info.format;
    connect(DecompressAsMenu->addAction(ToQString(std::string(info.title))), &QAction::triggered, this,
            [this, format] { DecompressAs(*form_, format); });
  }
  InsertAction = new QAction(QString::fromUtf8("Inserir bloco no ROM..."), this);
  connect(InsertAction, &QAction::triggered, this, [this] { InsertBlockIntoRom(*form_); });
  AboutAction = new QAction("Sobre", this);
  AboutAction->setShortcut(QKeySequence(Qt::Key_F1));  // shown in the menu; the window's F1 runs it
  AboutAction->setShortcutVisibleInContextMenu(true);
  connect(AboutAction, &QAction::triggered, this, [this] { ShowAbout(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, [this] { ShowAbout(); });
  CompList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(CompList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const int row = CompList->row(CompList->itemAt(at));
    if (row >= 0 && row != form_->controls.CompList.SelectedIndex()) form_->controls.CompList.SetSelectedIndex(row);
    PreviewAction->setEnabled(row >= 0);
    QMenu menu(this);
    menu.addAction(PreviewAction);
    menu.addMenu(DecompressAsMenu);
    menu.addAction(InsertAction);
    menu.addAction(ScanAction);
    menu.addSeparator();
    menu.addAction(AboutAction);
    menu.exec(CompList->viewport()->mapToGlobal(at));
    PreviewAction->setEnabled(true);
  });
  CompList->setToolTip(QString::fromUtf8(
      "Escolha uma localização para preencher o offset e o formato.\n"
      "No menu do botão direito:\n"
      "  Visualizar (F5): mostra o bloco como ladrilhos (um mapa ou uma música, como texto);\n"
      "  Descomprimir como: descomprime em Enigma, Kosinski Moduled ou Saxman;\n"
      "  Inserir bloco no ROM...: põe dados ou uma imagem PNG no lugar do bloco, num novo ROM;\n"
      "  Procurar blocos no ROM: procura blocos e os oferece ao catálogo;\n"
      "  Sobre (F1)."));
  DisplayLoc->setToolTip(QString::fromUtf8("Offset do bloco no ROM. F5 mostra o bloco como ladrilhos."));
  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  connect(f5, &QShortcut::activated, this, [this] { OpenPreview(); });
}

namespace {

// A map's words as text, that Esc closes.
class MapTextView : public QPlainTextEdit {
 public:
  explicit MapTextView(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("MapText");
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    resize(720, 420);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape)
      close();
    else
      QPlainTextEdit::keyPressEvent(event);
  }
};

// What was chosen for the map under `key`, remembered between runs.
std::optional<MapTilesSource> RememberedMapTiles(const QString& key) {
  const QSettings settings = Remembered();
  if (!settings.contains(key + "/width")) return std::nullopt;
  MapTilesSource source;
  source.width = std::clamp(settings.value(key + "/width").toUInt(), 1u, 256u);
  source.file = PathFromUtf8(FromQString(settings.value(key + "/file").toString()));
  source.offset = settings.value(key + "/offset").toInt();
  const FormatInfo* format = FormatNamed(FromQString(settings.value(key + "/format").toString()));
  if (source.file.empty() && format == nullptr) return std::nullopt;
  if (format != nullptr) source.format = format->format;
  if (settings.contains(key + "/firstTile"))
    source.firstTile = std::min(settings.value(key + "/firstTile").toUInt(), 0x7FFu);
  return source;
}

void RememberMapTiles(const QString& key, const MapTilesSource& source) {
  QSettings settings = Remembered();
  settings.setValue(key + "/width", source.width);
  settings.setValue(key + "/file", ToQString(PathToUtf8(source.file)));
  settings.setValue(key + "/offset", source.offset);
  settings.setValue(key + "/format", ToQString(std::string(InfoOf(source.format).name)));
  if (source.firstTile)
    settings.setValue(key + "/firstTile", *source.firstTile);
  else
    settings.remove(key + "/firstTile");
}

}  // namespace

TilePreview* Decompressor::Preview() {
  if (auto* open = dynamic_cast<TilePreview*>(lastPreview_.data())) return open;  // one preview window, reused
  auto& services = form_->services;
  auto* preview = new TilePreview({}, {}, services.messages, services.dialogs, FilesNeverWritten(*form_), this);
  lastPreview_ = preview;
  return preview;
}

void Decompressor::OpenPreview() {
  const Format format = BlockFormat(*form_);
  auto block = DecodeForPreview(*form_);
  if (!block) return;
  const QString title = QString::fromUtf8("Visualizar %1 %2 de %3")
                            .arg(DisplayLoc->text(), ToQString(std::string(InfoOf(format).title)),
                                 QFileInfo(Text2->text()).fileName());
  if (format == Format::Saxman) return ShowText(BytesText(block->bytes), title);  // a song is no picture
  if (format == Format::Enigma) {  // a plane map, drawn with the tiles of a block or a file
    const auto offset = ParseOffsetText(FromQString(DisplayLoc->text()), ChosenRadix(form_->controls));
    if (!offset) return;  // decoded, so it parses
    const QString key = QString("maps/%1/%2").arg(ToQString(form_->state.RomName), ToQString(FormatOffsetText(*offset, Radix::Hex)));
    OpenMap(std::move(block->bytes), *offset, title, key, false);
    return;
  }
  const auto offset = ParseOffsetText(FromQString(DisplayLoc->text()), ChosenRadix(form_->controls));
  Preview()->Show(std::move(block->bytes), title,
                  {form_->state.SourceFile, static_cast<std::uint32_t>(offset ? *offset : 0), format});
}

void Decompressor::OpenMap(std::vector<std::uint8_t> map, std::int32_t offset, const QString& title, const QString& key,
                           bool ask) {
  auto source = RememberedMapTiles(key);
  if (!source || ask) {
    auto& services = form_->services;
    MapTilesDialog dialog(TileEntries(form_->controls.CompList), offset, source, services.dialogs, services.messages, this);
    const int answer = dialog.exec();
    if (answer == MapTilesDialog::kTextOnly)
      return ShowMapText(map, title, source ? source->width : MapTilesSource::kDefaultMapWidth);
    if (answer != QDialog::Accepted || !dialog.Chosen()) return;
    source = dialog.Chosen();
    RememberMapTiles(key, *source);
  }
  auto tiles = ReadMapTiles(*form_, *source);
  if (!tiles) return;
  if (!source->firstTile) {  // "automático": proposed once the tiles are known, and kept
    source->firstTile = ProposedFirstTile(map, tiles->size() / 32);
    RememberMapTiles(key, *source);
  }
  const unsigned width = source->width, firstTile = *source->firstTile;
  TilePreview::MapActions actions{
      [this, map, offset, title, key] { OpenMap(map, offset, title, key, true); },
      [this, map, title, key] {
        const auto now = RememberedMapTiles(key);
        ShowMapText(map, title, now ? now->width : MapTilesSource::kDefaultMapWidth);
      },
      [key](unsigned changed) {
        if (auto now = RememberedMapTiles(key)) {
          now->width = changed;
          RememberMapTiles(key, *now);
        }
      }};
  Preview()->ShowMap(std::move(map), std::move(*tiles), width, firstTile, title, std::move(actions),
                     {form_->state.SourceFile, static_cast<std::uint32_t>(offset), Format::Enigma});
}

void Decompressor::ShowMapText(const std::vector<std::uint8_t>& map, const QString& title, unsigned width) {
  ShowText(PlaneMapText(map, width), title);
}

void Decompressor::ShowText(const std::string& text, const QString& title) {
  auto* view = dynamic_cast<MapTextView*>(lastMapText_.data());
  if (view == nullptr) lastMapText_ = view = new MapTextView(this);  // one text view, reused
  view->setPlainText(ToQString(text));
  view->setWindowTitle(title);
  view->show();
  view->raise();
  view->activateWindow();
}

void Decompressor::ScanForBlocks() {
  const auto rom = ReadRomForScan(*form_);
  if (!rom) return;
  QProgressDialog progress(QString::fromUtf8("Procurando blocos no ROM..."), "Cancelar", 0, 1000, this);
  progress.setWindowTitle(kWindowCaption);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  const auto found = ScanRomInTheWindow(*form_, *rom, [&progress](std::uint64_t done, std::uint64_t total) {
    progress.setValue(static_cast<int>(total == 0 ? 1000 : done * 1000 / total));
    QCoreApplication::processEvents();
    return !progress.wasCanceled();
  });
  progress.reset();
  if (!found) return;
  if (found->empty()) {
    Inform(*form_, kNoBlocksFoundMessage);
    return;
  }
  ScanResultsDialog results(*found, ListedEntries(form_->controls.CompList), this);
  if (results.exec() != QDialog::Accepted) return;
  const int before = CompList->count();
  AddScannedBlocks(*form_, results.Chosen());
  ShowAddedEntries(before);
}

void Decompressor::ShowAbout() {
  const auto text = [](const QString& resource) {
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  };
  QDialog about(this);
  about.setObjectName("About");
  about.setWindowTitle("Sobre");
  auto* body = new QPlainTextEdit(&about);
  body->setObjectName("AboutText");
  body->setReadOnly(true);
  body->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  body->setPlainText(QString::fromUtf8("Quarvel Descompressor %1\n"
                                       "Extrai, mostra, comprime e reinsere blocos Kosinski, Nemesis, Enigma, "
                                       "Kosinski Moduled e Saxman de ROMs do Mega Drive.\nJanela feita com Qt %2.\n\n"
                                       "== Licença ==\n\n%3\n== Avisos de terceiros ==\n\n%4")
                         .arg(QUARVEL_VERSION, qVersion(), text(":/about/LICENSE"),
                              text(":/about/data/THIRD-PARTY-NOTICES.txt")));
  auto* close = new QPushButton("Fechar", &about);
  connect(close, &QPushButton::clicked, &about, &QDialog::accept);
  auto* layout = new QVBoxLayout(&about);
  layout->addWidget(body);
  layout->addWidget(close, 0, Qt::AlignRight);
  about.resize(620, 480);
  about.exec();
}

void Decompressor::Load() { Form_Load(*form_); }

void Decompressor::ShowAddedEntries(int countBefore) {
  if (CompList->count() > countBefore) CompList->scrollToItem(CompList->item(CompList->count() - 1));
}

void Decompressor::OpenSource(const std::filesystem::path& rom) {
  if (!ReadsInTheBackground(rom)) return UseSource(*form_, rom);
  // A FIFO or a device may keep a read waiting: the window goes on meanwhile, with no
  // source, and takes the ROM once its bytes are in.
  form_->state.SourceFile.clear();
  form_->state.SourceImage.reset();
  Text2->setText(ToQString(PathToUtf8(rom)));
  Text2->setToolTip(QString::fromUtf8("Lendo o arquivo..."));
  std::thread([window = QPointer<Decompressor>(this), rom] {
    auto bytes = ReadWholeFile(rom, kRomImageLimit);
    QMetaObject::invokeMethod(qApp, [window, rom, bytes = std::move(bytes)]() mutable {
      if (window) UseSource(*window->form_, rom, std::move(bytes));
    }, Qt::QueuedConnection);
  }).detach();
}

namespace {

// The first local file of what is dragged, if any.
std::optional<std::filesystem::path> DraggedFile(const QMimeData* data) {
  if (data == nullptr) return std::nullopt;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return PathFromUtf8(FromQString(url.toLocalFile()));
  return std::nullopt;
}

}  // namespace

void Decompressor::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void Decompressor::dropEvent(QDropEvent* event) {
  const auto file = DraggedFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  OpenSource(*file);
}

}  // namespace quarvel
