// The real window, driven by clicks and keys, with dialogs answered and message
// boxes recorded by the in-memory services.
#include <QApplication>
#include <QFileDialog>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

#include <cstdlib>
#include <thread>

#include <sys/stat.h>
#include <functional>
#include <QStyleFactory>
#include <QTest>

#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "platform/fakes.h"
#include "platform/list_box_contract.h"
#include "support/bytes.h"
#include "support/png.h"
#include "ui/catalogue_commands.h"
#include "ui/decompress_command.h"
#include "ui/decompressor_window.h"
#include "ui/scan_results_dialog.h"
#include "ui/tile_preview.h"
#include "ui/tools_commands.h"
#include "platform/program_directory.h"
#include "encoders/kosinski_compressor.h"
#include "encoders/enigma_compressor.h"
#include "encoders/nemesis_compressor.h"
#include "formats/format_table.h"
#include "ui/map_tiles_dialog.h"

using namespace quarvel;
namespace fs = std::filesystem;

namespace {

using testing::Info;

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

  struct Harness {
    explicit Harness(const fs::path& folder) { directory.directory = folder; }
    testing::RecordingMessageBox messages;
    testing::ScriptedFileDialogs dialogs;
    testing::FixedProgramDirectory directory;
    Decompressor window{messages, dialogs, directory};
  };

  static void ClickItem(QListWidget* list, int row) {
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }

  // Runs `act` on the modal dialog of type Dialog as soon as it is shown.
  template <class Dialog>
  static void WhenShown(std::function<void(Dialog*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
      if (auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
        poll->stop();
        poll->deleteLater();
        act(dialog);
      }
    });
    poll->start(10);
  }

  // A key on the main window, as the user presses it there: F5 unless said.
  static void PressF5(Decompressor& window, Qt::Key key = Qt::Key_F5) {
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, key);
  }

  static void Type(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
  }

 private slots:
  void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

  void StartsWithTheInitialValuesWithoutACatalogue() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    auto& w = h.window;
    QCOMPARE(w.windowTitle(), QString("Quarvel Descompressor v 2.00"));
    QCOMPARE(w.size(), QSize(451, 469));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.RomList->count(), 9);
    QCOMPARE(w.RomList->currentRow(), 0);
    QCOMPARE(w.CompList->count(), 0);
    QCOMPARE(w.DisplayLoc->text(), QString("0"));
    QCOMPARE(w.DisplayLoc2->text(), QString("0"));
    QCOMPARE(w.DescLoc->text(), QString::fromUtf8("Digite a descrição dos dados "));
    QVERIFY(w.OptHex->isChecked() && !w.OptDec->isChecked());
    QVERIFY(w.OptKos->isChecked() && !w.OptNem->isChecked());
    QVERIFY(w.Text2->text().isEmpty() && w.Text3->text().isEmpty());
    QVERIFY(h.messages.shown.empty());
    QCOMPARE(w.form().state.RomName, std::string("Sonic1"));
  }

  void StartsOnTheFirstEntryOfTheSonic1Catalogue() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"FFFF8000 - <N> - Sprites", "0001A2B0 - <K> - Rings"}));
    Harness h(dir.path());
    h.window.Load();
    QCOMPARE(h.window.CompList->count(), 2);
    QCOMPARE(h.window.CompList->currentRow(), 0);
    QVERIFY(h.window.CompList->item(0)->isSelected());
    QCOMPARE(h.window.DisplayLoc->text(), QString("FFFF8000"));
    QVERIFY(h.window.OptNem->isChecked());
  }

  void ASelectionFromCodeRunsTheClickHandlerOnce() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"hand written"}));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    QCOMPARE(h.messages.shown, std::vector<Message>{Info(kInvalidEntryMessage)});
    h.messages.shown.clear();
    ClickItem(h.window.RomList, 1);  // a user's click on another ROM
    ClickItem(h.window.RomList, 0);  // and back: one load, one selection, one message
    QCOMPARE(h.messages.shown, std::vector<Message>{Info(kInvalidEntryMessage)});
  }

  void DecompressesByClicksWithAccentedPaths() {
    testing::TempDir dir;
    const fs::path rom = dir / fs::path(u8"Jogo à mão.bin");
    const fs::path out = dir / fs::path(u8"saída ção.dat");
    testing::WriteFile(rom, testing::Hex("EE EE  17 00 61 62 63 00 F0 00"));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.dialogs.answers = {rom, out};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);
    QTest::mouseClick(h.window.CmdDestino, Qt::LeftButton);
    QCOMPARE(h.window.Text2->text(), QString::fromStdU16String(rom.u16string()));
    QCOMPARE(h.window.Text3->text(), QString::fromStdU16String(out.u16string()));
    QCOMPARE(h.dialogs.requests.size(), std::size_t{2});
    QVERIFY(!h.dialogs.requests[0].save && h.dialogs.requests[1].save);
    Type(h.window.DisplayLoc, "2");
    QTest::mouseClick(h.window.CmdDescomprime, Qt::LeftButton);
    QCOMPARE(h.messages.shown, std::vector<Message>{Info(kDoneMessage)});
    QCOMPARE(testing::ToHex(testing::ReadFile(out)), std::string("61 62 63"));
    h.messages.shown.clear();
    Type(h.window.DisplayLoc, "40");  // past the end: the error, and why in its details
    QTest::mouseClick(h.window.CmdDescomprime, Qt::LeftButton);
    QCOMPARE(h.messages.shown.size(), std::size_t{1});
    QCOMPARE(h.messages.shown[0].detail, std::string("O offset 0x40 fica depois do fim do ROM."));
    QCOMPARE(testing::ToHex(testing::ReadFile(out)), std::string("61 62 63"));

    h.dialogs.answers = {std::nullopt};  // a cancelled picker keeps its path
    QTest::mouseClick(h.window.CmdDestino, Qt::LeftButton);
    QCOMPARE(h.window.form().state.DestFile, out);
  }

  // Each way "Descomprime" fails, clicked: the window's message, and why in its details.
  void FailuresSayWhyInTheirDetails() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {}));
    testing::WriteFile(dir / "rom.bin", testing::Hex("EE EE  17 00 61 62 63 00 F0 00"));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.dialogs.answers = {dir / "rom.bin"};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);
    struct Case {
      const char* offset;
      fs::path destination;
      const char* detail;
    };
    const Case cases[] = {
        {"0x10", dir / "out.dat", "O offset \"0x10\" não é um número hexadecimal (só 0 a 9 e A a F, sem 0x)."},
        {"40", dir / "out.dat", "O offset 0x40 fica depois do fim do ROM."},
        {"8", dir / "out.dat", "Os dados acabam no byte 0xA, antes do fim do bloco."},
        {"2", dir / "rom.bin", "O destino é o próprio ROM, que nunca é gravado."},
        {"2", dir / "Sonic1.dat", "O destino é um arquivo de localizações, que só muda pelas Localizações Conhecidas."},
        {"2", dir / "missing" / "out.dat", "Não foi possível gravar o arquivo de destino: o arquivo ou a pasta não existe."},
    };
    for (const auto& c : cases) {
      h.messages.shown.clear();
      h.dialogs.answers = {c.destination};
      QTest::mouseClick(h.window.CmdDestino, Qt::LeftButton);
      Type(h.window.DisplayLoc, c.offset);
      QTest::mouseClick(h.window.CmdDescomprime, Qt::LeftButton);
      QCOMPARE(h.messages.shown.size(), std::size_t{1});
      QCOMPARE(h.messages.shown[0].text, std::string(kErrorMessage));
      QCOMPARE(h.messages.shown[0].detail, std::string(c.detail));
    }
    QVERIFY(!fs::exists(dir / "out.dat"));
  }

  // An <M> entry leaves the options on Kosinski; "Descomprimir como" > "Kosinski Moduled"
  // decompresses it.
  void DecompressesAsAFormatWithoutAnOptionButton() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"00000002 - <M> - art"}));
    testing::Bytes rom = testing::Hex("EE EE  00 03  17 00 61 62 63 00 F0 00");
    testing::WriteFile(dir / "rom.bin", rom);
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.dialogs.answers = {dir / "rom.bin", dir / "out.dat"};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);
    QTest::mouseClick(h.window.CmdDestino, Qt::LeftButton);
    QCOMPARE(h.window.DisplayLoc->text(), QString("2"));
    QVERIFY(h.window.OptKos->isChecked());
    const auto actions = h.window.DecompressAsMenu->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->text(), QString("Enigma"));
    QCOMPARE(actions[1]->text(), QString("Kosinski Moduled"));
    QCOMPARE(actions[2]->text(), QString("Saxman"));
    actions[1]->trigger();
    QCOMPARE(h.messages.shown, std::vector<Message>{Info(kDoneMessage)});
    QCOMPARE(testing::ToHex(testing::ReadFile(dir / "out.dat")), std::string("61 62 63"));
  }

  // A ROM dropped on the window, or named when the program starts, is the source, as
  // "Origem" would pick it, and one of the recent ROMs.
  void OpensTheRomDroppedOrNamed() {
    testing::TempDir dir;
    const fs::path rom = SmallRom(dir.path());
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(rom.string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.window, &drop);
    QCOMPARE(h.window.form().state.SourceFile, rom);
    QCOMPARE(h.window.Text2->text(), QString::fromStdString(rom.string()));
    QVERIFY(h.window.Text2->toolTip().startsWith("ROM desconhecido"));
    QCOMPARE(h.dialogs.recent.size(), std::size_t{1});

    Harness started(dir.path());  // quarvel rom.bin
    started.window.Load();
    started.window.OpenSource(rom);
    QCOMPARE(started.window.Text2->text(), QString::fromStdString(rom.string()));
    QMimeData text;  // what is not a file is not taken
    text.setText("rom.bin");
    QDragEnterEvent words(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.window, &words);
    QVERIFY(!words.isAccepted());
  }

  void SwitchesRadixOnlyOnAChange() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.window.DisplayLoc->setText("1A2B");
    h.window.DisplayLoc2->setText("10");
    QTest::mouseClick(h.window.OptDec, Qt::LeftButton);
    QCOMPARE(h.window.DisplayLoc->text(), QString("6699"));
    QCOMPARE(h.window.DisplayLoc2->text(), QString("16"));
    QTest::mouseClick(h.window.OptDec, Qt::LeftButton);  // already chosen: nothing converts
    QCOMPARE(h.window.DisplayLoc->text(), QString("6699"));
    QTest::mouseClick(h.window.OptHex, Qt::LeftButton);
    QCOMPARE(h.window.DisplayLoc->text(), QString("1A2B"));
    QCOMPARE(h.window.DisplayLoc2->text(), QString("10"));
  }

  void AddsAndRemovesEntriesOnDisk() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    ClickItem(h.window.RomList, 8);
    QCOMPARE(h.window.form().state.RomName, std::string("Custom"));
    Type(h.window.DisplayLoc2, "1a2b0");
    h.window.DescLoc->setText(QString::fromUtf8("Anéis"));
    QTest::mouseClick(h.window.AddLoc, Qt::LeftButton);
    QCOMPARE(testing::ReadFile(dir / "Custom.dat"),
             testing::Bytes({'"', '0', '0', '0', '1', 'A', '2', 'B', '0', ' ', '-', ' ', '<', 'K', '>', ' ', '-', ' ',
                             'A', 'n', 0xE9, 'i', 's', '"', '\r', '\n'}));
    QCOMPARE(h.window.CompList->count(), 1);

    ClickItem(h.window.CompList, 0);
    QCOMPARE(h.window.DisplayLoc->text(), QString("1A2B0"));
    h.messages.answers = {MessageAnswer::Yes};
    QTest::mouseClick(h.window.DelLoc, Qt::LeftButton);
    const Message confirm{std::string(kConfirmRemovalMessage), MessageButtons::YesNo, MessageIcon::None,
                          std::string(kConfirmRemovalTitle)};
    QCOMPARE(h.messages.shown, std::vector<Message>{confirm});
    QCOMPARE(h.window.CompList->count(), 0);
    QCOMPARE(fs::file_size(dir / "Custom.dat"), std::uintmax_t{0});
  }

  // An entry added at the end of a long list is scrolled into view, and the selection
  // stays where it was; a long description is cut short, never a row hidden behind a
  // horizontal scroll bar, and the whole text is in its tool tip.
  void AnAddedEntryIsScrolledIntoView() {
    testing::TempDir dir;
    std::vector<std::string> entries;
    for (int i = 1; i <= 30; ++i) entries.push_back(FormatEntry(i * 0x100, Format::Kosinski, std::string(40, 'x')));
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", entries));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    Type(h.window.DisplayLoc2, "9000");
    QTest::mouseClick(h.window.AddLoc, Qt::LeftButton);
    auto* list = h.window.CompList;
    QCOMPARE(list->count(), 31);
    QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->item(30))));
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    QCOMPARE(list->item(0)->toolTip(), QString::fromStdString(entries[0]));
  }

  void RemovalReselectsTheNeighbour() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat",
                           {"00000001 - <K> - a", "00000002 - <N> - b", "00000003 - <K> - c", "00000004 - <N> - d"}));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    ClickItem(h.window.CompList, 1);
    h.messages.answers = {MessageAnswer::Yes};
    QTest::mouseClick(h.window.DelLoc, Qt::LeftButton);
    QCOMPARE(h.window.CompList->currentRow(), 1);
    QVERIFY(h.window.CompList->item(1)->isSelected());
    QCOMPARE(h.window.DisplayLoc->text(), QString("3"));
  }

  // An installed program keeps its catalogues in the user's data folder, and the window
  // and the command line agree on it: what one adds, the other shows.
  void InstalledCataloguesAreTheUsersOwnAndShared() {
    testing::TempDir dir;
    fs::create_directories(dir / "usr" / "bin");
    fs::create_directories(dir / "usr" / "share" / "quarvel");
    fs::copy_file(QUARVEL_BIN_DIR "/quarvel-cli", dir / "usr" / "bin" / "quarvel-cli");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir / "data").string()));
    QCoreApplication::setApplicationName("quarvel");
    QCOMPARE(QtProgramDirectory().UserDataDirectory(), UserDataDirectory());
    std::string add = "'";
    add.append((dir / "usr" / "bin" / "quarvel-cli").string())
        .append("' catalogue add Custom -o 100 -f kosinski -d 'da linha de comando'");
    QCOMPARE(std::system(add.c_str()), 0);

    Harness h(dir / "usr" / "bin");
    h.directory.userData = QtProgramDirectory().UserDataDirectory();
    h.window.Load();
    h.window.RomList->setCurrentRow(8);  // Custom
    QCOMPARE(h.window.CompList->count(), 1);
    QCOMPARE(h.window.CompList->item(0)->text(), QString("00000100 - <K> - da linha de comando"));
    qunsetenv("XDG_DATA_HOME");
  }

  void DescriptionRefusesA41stCharacter() {
    testing::TempDir dir;
    Harness h(dir.path());
    Type(h.window.DescLoc, QString(45, 'x'));
    QCOMPARE(h.window.DescLoc->text().size(), 40);
    Type(h.window.DescLoc, "");
    for (const QChar c : QString::fromUtf8("Ωmega ção €")) {  // what a catalogue file cannot hold is refused
      QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(h.window.DescLoc, &key);
    }
    QCOMPARE(h.window.DescLoc->text(), QString::fromUtf8("mega ção €"));
  }

  void TabFollowsTheFocusOrder() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    QApplication::setActiveWindow(&h.window);
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    auto& w = h.window;
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.CmdOrigem));
    // The chain holds every control that takes the focus, in the order of the layout;
    // Tab stops once in each pair of options, arrows move within it.
    const std::vector<QWidget*> chain = {w.CmdOrigem, w.CmdDestino, w.Text2,   w.Text3,    w.OptKos,
                                         w.OptNem,    w.OptDec,     w.OptHex,  w.DisplayLoc, w.CmdDescomprime,
                                         w.RomList,   w.CompList,   w.DelLoc,  w.DescLoc,  w.AddLoc,
                                         w.DisplayLoc2};
    QWidget* at = w.CmdOrigem;
    for (QWidget* next : chain) {
      while (at != next && !(at->focusPolicy() & Qt::TabFocus && chain.end() != std::find(chain.begin(), chain.end(), at)))
        at = at->nextInFocusChain();
      QCOMPARE(at->objectName(), next->objectName());
      at = at->nextInFocusChain();
    }
    QStringList visited;
    for (int i = 0; i < 15; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited.join(' '), QString("CmdDestino Text2 Text3 OptKos OptHex DisplayLoc CmdDescomprime RomList "
                                        "CompList DelLoc DescLoc AddLoc DisplayLoc2 CmdOrigem CmdDestino"));
    h.window.OptDec->setChecked(true);  // Tab stops on the option that is selected, wherever it is
    h.window.OptKos->setFocus(Qt::TabFocusReason);
    QTest::keyClick(h.window.OptKos, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), h.window.OptDec);
  }

  // A click on the entry already selected runs its handler again: the offset typed over
  // it comes back; a click on the ROM already chosen reloads its catalogue.
  void AClickOnTheSelectedItemRunsItsHandler() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"00000400 - <N> - art"}));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.window.DisplayLoc->setText("999");
    ClickItem(h.window.CompList, 0);
    QCOMPARE(h.window.DisplayLoc->text(), QString("400"));
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"00000400 - <N> - art", "00000800 - <K> - more"}));
    ClickItem(h.window.RomList, 0);
    QCOMPARE(h.window.CompList->count(), 2);
  }

  // Ctrl+click on the selected item and a click on empty space keep it selected.
  void TheUserCannotClearASelection() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"00000400 - <N> - art"}));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    for (QListWidget* list : {h.window.CompList, h.window.RomList}) {
      const QPoint item = list->visualItemRect(list->item(0)).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, item);
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(item.x(), list->viewport()->height() - 2));
      QCOMPARE(list->selectedItems().size(), 1);
      QVERIFY(list->item(0)->isSelected());
    }
  }

  // The path boxes show the picked paths; typing there changes nothing.
  void ThePathBoxesAreReadOnly() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.dialogs.answers = {dir / "rom.bin"};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);
    QTest::keyClicks(h.window.Text2, "/elsewhere");
    QCOMPARE(h.window.Text2->text(), QString::fromStdString((dir / "rom.bin").string()));
    QVERIFY(h.window.Text2->focusPolicy() & Qt::TabFocus);
  }

  // A ROM with a Kosinski block at 0x100 and a 4-tile Nemesis block at 0x800.
  static fs::path SmallRom(const fs::path& folder) {
    testing::Bytes tiles;
    for (unsigned i = 0; i < 128; ++i) tiles.push_back(static_cast<std::uint8_t>(i % 12 < 6 ? 0x12 : 0x30));
    testing::Bytes rom(0x1000, 0);
    const auto kosinski = *CompressKosinski(tiles);
    const auto nemesis = *CompressNemesis(tiles);
    std::copy(kosinski.begin(), kosinski.end(), rom.begin() + 0x100);
    std::copy(nemesis.begin(), nemesis.end(), rom.begin() + 0x800);
    testing::WriteFile(folder / "rom.bin", rom);
    return folder / "rom.bin";
  }

  void PreviewOpensWithF5AndFromTheListAndCloses() {
    testing::TempDir dir;
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"00000800 - <N> - art"}));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.dialogs.answers = {SmallRom(dir.path())};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);

    h.window.PreviewAction->trigger();  // the entry selected at start-up: 4 Nemesis tiles
    auto* preview = dynamic_cast<TilePreview*>(h.window.LastPreview());
    QVERIFY(preview != nullptr);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->image().width, 4u * 8 * 2);  // four tiles in a row, zoom 2
    preview->Zoom->setValue(1);
    preview->Columns->setValue(2);
    QCOMPARE(preview->image().width, 16u);
    QCOMPARE(preview->image().height, 16u);

    h.dialogs.answers = {dir / "art"};  // a name without an extension gets ".png"
    QTest::mouseClick(preview->SavePng, Qt::LeftButton);
    QCOMPARE(testing::ReadFile(dir / "art.png").at(1), std::uint8_t{'P'});
    QCOMPARE(h.dialogs.requests.back().request.proposed, dir / "0x800-nemesis.png");  // beside the ROM
    testing::WriteFile(dir / "cores.pal", testing::Bytes(32, 0x0E));
    h.dialogs.answers = {dir / "cores.pal"};  // a palette loaded shows by its file name
    emit preview->PaletteChoice->activated(1);
    QCOMPARE(preview->PaletteChoice->currentText(), QString("cores.pal"));
    h.window.PreviewAction->trigger();  // a second F5 shows the block in the same window
    QCOMPARE(h.window.LastPreview(), static_cast<QWidget*>(preview));
    const auto rom = testing::ReadFile(dir / "rom.bin");
    for (const fs::path& never : {dir / "rom.bin", dir / "Sonic1.dat"}) {  // the ROM and the catalogues are kept
      h.dialogs.answers = {never};
      QTest::mouseClick(preview->SavePng, Qt::LeftButton);
    }
    QCOMPARE(testing::ReadFile(dir / "rom.bin"), rom);
    QCOMPARE(LoadCatalogue(dir / "Sonic1.dat").entries, std::vector<std::string>{"00000800 - <N> - art"});
    QCOMPARE(h.messages.shown.size(), std::size_t{3});
    QCOMPARE(h.messages.shown[0], Info("Imagem salva em " + PathToUtf8(dir / "art.png") + "."));  // the others refused
    h.messages.shown.clear();
    const auto art = testing::ReadFile(dir / "art.png");  // a picture that is there is replaced only when the user says so
    h.dialogs.answers = {dir / "art"};
    h.messages.answers = {MessageAnswer::No};
    QTest::mouseClick(preview->SavePng, Qt::LeftButton);
    QCOMPARE(h.messages.shown.size(), std::size_t{1});
    QCOMPARE(h.messages.shown[0].text, std::string("art.png já existe.\nDeseja substituí-lo?"));
    QCOMPARE(testing::ReadFile(dir / "art.png"), art);
    h.messages.shown.clear();
    h.dialogs.broken = true;  // a dialog that fails is reported, and the preview stays
    QTest::mouseClick(preview->SavePng, Qt::LeftButton);
    QCOMPARE(h.messages.shown, std::vector<Message>{Info(kDialogFailedMessage)});
    QVERIFY(preview->isVisible());
    h.messages.shown.clear();
    h.dialogs.broken = false;
    QTest::keyClick(preview->Zoom, Qt::Key_Escape);
    QTRY_VERIFY(h.window.LastPreview() == nullptr);

    Type(h.window.DisplayLoc, "100");
    h.window.OptKos->setChecked(true);
    h.window.activateWindow();
    QApplication::setActiveWindow(&h.window);
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QTest::keyClick(&h.window, Qt::Key_F5);
    preview = dynamic_cast<TilePreview*>(h.window.LastPreview());
    QVERIFY(preview != nullptr);
    QCOMPARE(preview->image().width, 2u * 8 * 1);  // zoom and tiles a row as they were left
    QVERIFY(!fs::exists(dir / "out.dat"));
    QVERIFY(h.messages.shown.empty());
    preview->close();
  }

  // A palette of four lines: the preview draws tiles in the line chosen; F5 on a map asks
  // for its tiles once (a block of the catalogue) and draws each tile in its own line;
  // the map's text stays a click away, in one view that Esc closes, where F5 on a song
  // shows its bytes.
  void MapsAreDrawnWithTheirTilesInTheirLines() {
    testing::TempDir dir;
    const fs::path rom = SmallRom(dir.path());
    const testing::Bytes map = testing::Hex("00 00  20 01  48 02  60 03");  // lines 0 to 3, the third flipped
    auto bytes = testing::ReadFile(rom);
    const auto packed = *CompressEnigma(map);
    std::copy(packed.begin(), packed.end(), bytes.begin() + 0xC00);
    const testing::Bytes song = testing::Hex("04 00  07 61 62 63");  // 4 stream bytes: three literals
    std::copy(song.begin(), song.end(), bytes.begin() + 0xE00);
    testing::WriteFile(rom, bytes);
    testing::Bytes lines;  // line L, colour i: red i, green L * 2
    for (unsigned line = 0; line < 4; ++line)
      for (unsigned i = 0; i < 16; ++i) lines.insert(lines.end(), {0, static_cast<std::uint8_t>(line * 2 << 4 | (i % 8) << 1)});
    testing::WriteFile(dir / "four.pal", lines);
    const auto palette = *ParseMegaDrivePaletteLines(lines);
    QVERIFY(SaveCatalogue(dir / "Sonic1.dat", {"00000800 - <N> - tiles", "00000C00 - <E> - map", "00000E00 - <S> - song"}));
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.dialogs.answers = {rom};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);

    h.window.PreviewAction->trigger();  // the tiles, in the line chosen
    auto* preview = dynamic_cast<TilePreview*>(h.window.LastPreview());
    QVERIFY(preview != nullptr);
    h.dialogs.answers = {dir / "four.pal"};
    emit preview->PaletteChoice->activated(1);
    QCOMPARE(preview->LineChoice->count(), 4);
    preview->LineChoice->setCurrentIndex(2);
    emit preview->LineChoice->activated(2);
    QVERIFY(preview->image().palette == std::vector<Rgb>(palette[2].begin(), palette[2].end()));
    QCOMPARE(TilePreview::ShownPalette().line, 2u);  // what a PNG put back is matched to first
    QVERIFY(TilePreview::ShownPalette().lines == palette);

    ClickItem(h.window.CompList, 1);
    int asked = 0;
    WhenShown<MapTilesDialog>([&](MapTilesDialog* dialog) {
      ++asked;
      QCOMPARE(dialog->Source->count(), 2);  // the Nemesis entry, and a file
      QCOMPARE(dialog->Width->value(), 40);
      dialog->Width->setValue(2);
      QTest::mouseClick(dialog->Draw, Qt::LeftButton);
    });
    PressF5(h.window);
    QCOMPARE(asked, 1);
    QCOMPARE(h.window.LastPreview(), static_cast<QWidget*>(preview));
    QCOMPARE(preview->LineChoice->itemText(0), QString::fromUtf8("Linha de cada ladrilho"));
    QTRY_VERIFY(preview->LineChoice->width() >= preview->LineChoice->sizeHint().width());  // its whole text shown
    preview->LineChoice->setCurrentIndex(0);
    emit preview->LineChoice->activated(0);
    const auto tiles = *DecodeBlock(Format::Nemesis, bytes, 0x800);
    const auto expected = *RenderPlaneMap(map, tiles.bytes, palette, 2, static_cast<unsigned>(preview->Zoom->value()));
    QVERIFY(preview->image().pixels == expected.pixels);
    QVERIFY(preview->image().palette == expected.palette);

    PressF5(h.window);  // remembered: drawn at once
    QCOMPARE(asked, 1);
    QCOMPARE(preview->image().width, expected.width);
    WhenShown<MapTilesDialog>([&](MapTilesDialog* dialog) {  // the proposal kept; from 0x200 every word is blank
      QCOMPARE(dialog->First->text(), QString("0x0"));
      dialog->First->setValue(0x200);
      QTest::mouseClick(dialog->Draw, Qt::LeftButton);
    });
    QTest::mouseClick(preview->MapTiles, Qt::LeftButton);
    QVERIFY(preview->image().pixels == std::vector<std::uint8_t>(expected.pixels.size(), 0));
    QTest::mouseClick(preview->MapText, Qt::LeftButton);
    QWidget* text = h.window.LastMapText();
    QVERIFY(text != nullptr && text->isVisible());
    QTest::mouseClick(preview->MapText, Qt::LeftButton);
    QCOMPARE(h.window.LastMapText(), text);
    ClickItem(h.window.CompList, 2);
    PressF5(h.window);
    QCOMPARE(h.window.LastMapText(), text);
    QCOMPARE(dynamic_cast<QPlainTextEdit*>(text)->toPlainText(), QString("0000: 61 62 63\n"));
    QTest::keyClick(text, Qt::Key_Escape);
    QTRY_VERIFY(h.window.LastMapText() == nullptr);
    QVERIFY(h.messages.shown.empty());
    preview->close();
  }

  // The art loop as a user walks it, on the demo ROM: named when the program starts, F5
  // at a new user's zoom, the demo's palette, 5 tiles a row (the last row ends in 4 blank
  // tiles), "Salvar PNG..." under the name it proposes, the picture edited (saved again by
  // an editor that keeps its chunks, and by one that keeps colours alone), then "Inserir
  // bloco no ROM...": the new ROM's block is the edited tiles, as many as the old one's.
  void ArtComesBackFromThePreviewsPng() {
    testing::TempDir dir;
    for (const char* file : {"demo.bin", "demo.pal"}) fs::copy_file(fs::path(QUARVEL_BIN_DIR) / file, dir / file);
    Remembered().remove("preview");
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    h.window.OpenSource(dir / "demo.bin");
    Type(h.window.DisplayLoc, "400");
    QTest::mouseClick(h.window.OptNem, Qt::LeftButton);
    PressF5(h.window);
    auto* preview = dynamic_cast<TilePreview*>(h.window.LastPreview());
    QVERIFY(preview != nullptr);
    QCOMPARE(preview->Zoom->value(), 2);
    h.dialogs.answers = {dir / "demo.pal"};
    emit preview->PaletteChoice->activated(1);
    preview->Columns->setValue(5);
    h.dialogs.answers = {dir / "0x400-nemesis.png"};
    QTest::mouseClick(preview->SavePng, Qt::LeftButton);
    QCOMPARE(h.dialogs.requests.back().request.proposed, dir / "0x400-nemesis.png");
    const auto layout = ReadPictureLayout(testing::ReadFile(dir / "0x400-nemesis.png"));
    QVERIFY(layout);
    TileImage edited = preview->image();  // tile 0 painted in colour 1
    preview->close();
    for (unsigned y = 0; y < 16; ++y) std::fill_n(edited.pixels.begin() + y * edited.width, 16, std::uint8_t{1});
    auto expected = DecodeBlock(Format::Nemesis, testing::ReadFile(dir / "demo.bin"), 0x400)->bytes;
    QCOMPARE(expected.size(), std::size_t{16 * 32});
    std::fill_n(expected.begin(), 32, std::uint8_t{0x11});
    testing::Bytes rgb;
    for (const auto pixel : edited.pixels) rgb.insert(rgb.end(), {edited.palette[pixel].r, edited.palette[pixel].g, edited.palette[pixel].b});
    const std::pair<const char*, testing::Bytes> pictures[] = {{"indexed, its chunks kept", EncodePng(edited, &*layout)},
                                                               {"colours alone", testing::RgbPng(edited.width, edited.height, rgb)}};
    for (const auto& [name, png] : pictures) {
      testing::WriteFile(dir / "edited.png", png);
      fs::remove(dir / "new.bin");
      h.messages.shown.clear();
      h.dialogs.answers = {dir / "edited.png", dir / "new.bin"};
      h.window.InsertAction->trigger();
      QCOMPARE(h.messages.shown.size(), std::size_t{1});
      const std::string said = h.messages.shown.back().text;
      QVERIFY2(said.starts_with("Bloco inserido no novo ROM") && said.find("zoom 2") != std::string::npos &&
                   said.find(", 16 ladrilhos") != std::string::npos, (std::string(name) + ": " + said).c_str());
      QCOMPARE(DecodeBlock(Format::Nemesis, testing::ReadFile(dir / "new.bin"), 0x400)->bytes, expected);
    }
  }

  // A FIFO named as the ROM (`quarvel <(zcat rom.gz)`) is read in the background: the
  // window is not held while nothing is written to it, and takes the ROM once it is.
  void AFifoAsTheRomDoesNotHoldTheWindow() {
    testing::TempDir dir;
    const fs::path fifo = dir / "rom.fifo";
    QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
    Harness h(dir.path());
    h.window.Load();
    h.window.OpenSource(fifo);
    QVERIFY(h.window.form().state.SourceFile.empty());
    std::thread writer([&] { testing::WriteFile(fifo, testing::ReadFile(SmallRom(dir.path()))); });
    QTRY_VERIFY(h.window.form().state.SourceImage != nullptr);
    writer.join();
    QCOMPARE(h.window.form().state.SourceFile, fifo);
  }

  void ScanAddsTheCheckedBlocksToTheCatalogue() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    ClickItem(h.window.RomList, 8);
    h.dialogs.answers = {SmallRom(dir.path())};
    QTest::mouseClick(h.window.CmdOrigem, Qt::LeftButton);
    int offered = 0;
    QString first, counted;
    WhenShown<ScanResultsDialog>([&](ScanResultsDialog* results) {
      offered = results->Blocks->count();
      first = results->Blocks->item(0)->text();
      results->UncheckAll->click();
      results->Blocks->item(1)->setCheckState(Qt::Checked);  // keep only the Nemesis block
      counted = results->Count->text();
      results->Add->click();
    });
    h.window.ScanAction->trigger();
    QCOMPARE(offered, 2);
    QVERIFY2(first.startsWith("00000100  Kosinski"), qPrintable(first));
    QCOMPARE(counted, QString::fromUtf8("2 blocos encontrados, 1 marcado."));
    QCOMPARE(LoadCatalogue(dir / "Custom.dat").entries,
             std::vector<std::string>{"00000800 - <N> - Nemesis, 4 ladrilhos"});
    QCOMPARE(h.window.CompList->count(), 1);
    QCOMPARE(h.messages.shown, std::vector<Message>{Info(BlocksAddedMessage(1))});

    QString again;  // a second scan tells the block added from the others
    WhenShown<ScanResultsDialog>([&](ScanResultsDialog* results) {
      again = results->Blocks->item(1)->text() + " | " + results->Count->text();
      results->Cancel->click();
    });
    h.window.ScanAction->trigger();
    QVERIFY2(again.endsWith(QString::fromUtf8(", já no catálogo | 2 blocos encontrados, 1 marcado; 1 já no catálogo.")),
             qPrintable(again));
  }

  // A scan of odd bytes can offer tens of thousands of blocks: one click checks them all.
  void UncheckingManyBlocksCountsThemOnce() {
    const std::vector<ScanCandidate> many(65536, ScanCandidate{0x100, Format::Nemesis, 32, 8, 0.9, 0});
    ScanResultsDialog results(many, {});
    results.UncheckAll->click();
    QCOMPARE(results.Count->text(), QString::fromUtf8("65536 blocos encontrados, 0 marcados."));
  }

  // The results are as wide as their longest row at first, then as the user left them.
  void TheScanResultsShowTheirRowsWholeAndKeepTheirSize() {
    Remembered().remove("scan");
    const std::vector<ScanCandidate> found{{0x1F27A, Format::KosinskiModuled, 4096, 900, 0.95, 0, true}};
    ScanResultsDialog first(found, {"0001F27A - <M> - listed"});
    QVERIFY(first.width() > first.Blocks->sizeHintForColumn(0));
    first.resize(800, 500);
    first.accept();
    QCOMPARE(ScanResultsDialog(found, {}).size(), QSize(800, 500));
  }

  // F1, and "Sobre" in the list's menu: the package's version, the licence and the
  // notices as they are shipped; the captions keep their version.
  void F1ShowsTheVersionTheLicenceAndTheNotices() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    QString title, text;
    WhenShown<QDialog>([&](QDialog* about) {
      title = about->windowTitle();
      text = about->findChild<QPlainTextEdit*>("AboutText")->toPlainText();
      about->accept();
    });
    PressF5(h.window, Qt::Key_F1);
    QCOMPARE(title, QString("Sobre"));
    QVERIFY2(text.startsWith("Quarvel Descompressor 2."), qPrintable(text.left(40)));
    for (const char* part : {"== Licença ==\n\nMIT License", "== Avisos de terceiros ==\n\n", "CLI11"})
      QVERIFY2(text.contains(QString::fromUtf8(part)), part);
    QCOMPARE(h.window.AboutAction->text(), QString("Sobre"));
    QCOMPARE(h.window.windowTitle(), QString("Quarvel Descompressor v 2.00"));
  }

  // Return and Enter press the button that has the focus; Escape presses none.
  void ReturnPressesTheFocusedButtonAndEscapeNothing() {
    testing::TempDir dir;
    Harness h(dir.path());
    h.window.Load();
    h.window.show();
    for (QPushButton* button : {h.window.CmdDescomprime, h.window.DelLoc, h.window.AddLoc}) {
      QSignalSpy clicks(button, &QPushButton::clicked);
      button->setFocus();
      QTest::keyClick(button, Qt::Key_Escape);
      QCOMPARE(clicks.count(), 0);
      QTest::keyClick(button, Qt::Key_Return);
      QTest::keyClick(button, Qt::Key_Enter);
      QCOMPARE(clicks.count(), 2);
    }
  }
};

// The Qt services themselves: what the user sees of a message box, and the filters.
class QtServicesTest : public QObject {
  Q_OBJECT

  // Shows `message` with QtMessageBox, checks the box that opens and presses `press`.
  QString buttons;  // of the last box, in reverse alphabetical order
  QString detail;   // of the last box

  MessageAnswer ShowAndPress(const Message& message, QMessageBox::StandardButton press, QString& title,
                             QString& text, QMessageBox::Icon& icon, QMessageBox::StandardButton& preset) {
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      detail = box->detailedText();
      icon = box->icon();
      preset = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
      QStringList texts;
      for (auto* button : box->buttons()) texts << button->text();
      texts.sort(Qt::CaseInsensitive);
      std::reverse(texts.begin(), texts.end());
      buttons = texts.join(' ');
      box->button(press)->click();
    });
    QtMessageBox service(nullptr);
    return service.Show(message);
  }

 private slots:
  void MessageBoxesShowTheirTextTitleIconAndButtons() {
    QString title, text;
    QMessageBox::Icon icon{};
    QMessageBox::StandardButton preset{};
    QCOMPARE(ShowAndPress(Info(kDoneMessage), QMessageBox::Ok, title, text, icon, preset), MessageAnswer::Ok);
    QCOMPARE(title, QString("Quarvel Descompressor v1.00"));
    QCOMPARE(text, QString::fromUtf8("Descompressão Concluída"));
    QCOMPARE(icon, QMessageBox::Information);
    QVERIFY(detail.isEmpty());
    Message failed = Info(kErrorMessage);
    failed.detail = "O offset 0x80000 fica depois do fim do ROM.";
    ShowAndPress(failed, QMessageBox::Ok, title, text, icon, preset);
    QCOMPARE(text, QString::fromUtf8("Ocorreu um erro durante a descompressão"));
    QCOMPARE(detail, QString("O offset 0x80000 fica depois do fim do ROM."));

    const Message confirm{std::string(kConfirmRemovalMessage), MessageButtons::YesNo, MessageIcon::None,
                          std::string(kConfirmRemovalTitle)};
    QCOMPARE(ShowAndPress(confirm, QMessageBox::No, title, text, icon, preset), MessageAnswer::No);
    QCOMPARE(title, QString::fromUtf8("Confirmação para remoção de Localização"));
    QCOMPARE(text, QString::fromUtf8("    Você tem certeza que deseja remover esta localização ?"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(preset, QMessageBox::Yes);
    QCOMPARE(ShowAndPress(confirm, QMessageBox::Yes, title, text, icon, preset), MessageAnswer::Yes);
    QCOMPARE(buttons, QString::fromUtf8("Sim Não"));
  }

  void TheQtListBoxKeepsTheListBoxContract() {
    QListWidget widget;
    int clicks = 0;
    QtListBox list(&widget, [&clicks] { ++clicks; });
    testing::CheckListBoxContract(list, clicks, [](bool held, const char* rule) { QVERIFY2(held, rule); });
  }

  // Qt's own texts are Portuguese whatever the system's language.
  void QtSpeaksPortuguese() {
    QVERIFY(InstallPortuguese(*QCoreApplication::instance()));
    QFileDialog dialog(nullptr, "x");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const auto buttons = dialog.findChildren<QPushButton*>();
    QStringList texts;
    for (auto* button : buttons) texts << button->text();
    QVERIFY2(texts.contains(QString::fromUtf8("&Salvar")) || texts.contains(QString::fromUtf8("Salvar")),
             qPrintable(texts.join(", ")));
  }

  // The "Origem" dialog offers the recent ROMs that are still there, the last first.
  void TheOpenDialogOffersTheRecentFiles() {
    testing::TempDir dir;
    for (const char* name : {"a.bin", "b.bin"}) testing::WriteFile(dir / name, testing::Bytes(16, 0));
    QtFileDialogs dialogs(nullptr);
    for (const char* name : {"a.bin", "gone.bin", "b.bin", "a.bin"}) dialogs.NoteRecent("test", dir / name);
    QStringList offered;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      auto* recent = dialog != nullptr ? dialog->findChild<QComboBox*>("Recent") : nullptr;
      if (recent == nullptr) return;
      for (int i = 1; i < recent->count(); ++i) offered << QFileInfo(recent->itemData(i).toString()).fileName();
      emit recent->activated(2);
    });
    const auto chosen = dialogs.ShowOpen({"x", "Todos (*)|*", "test"});
    QCOMPARE(offered.join(' '), QString("a.bin b.bin"));
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, dir / "b.bin");
  }

  void FiltersMatchUpperAndLowerCase() {
    QCOMPARE(ToQtFilter("Rom Binário(*.BIN)|*.BIN"), QString::fromUtf8("Rom Binário(*.BIN) (*.BIN *.bin)"));
    QCOMPARE(ToQtFilter("(*.DAT)|*.DAT"), QString("(*.DAT) (*.DAT *.dat)"));
    QCOMPARE(ToQtFilter("A|*.a;*.B|C|*.c"), QString("A (*.a *.A *.B *.b);;C (*.c *.C)"));
  }
};

int main(int argc, char** argv) {
  const quarvel::testing::TempDir settings;  // what the window remembers stays in the test
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(settings.path().string()));
  QApplication application(argc, argv);
  WindowTest window;
  QtServicesTest services;
  return QTest::qExec(&window, argc, argv) | QTest::qExec(&services, argc, argv);
}
#include "decompressor_window_test.moc"
