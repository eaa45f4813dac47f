// The window: every control at its fixed place, wired to the handlers.
#pragma once

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/qt/qt_services.h"
#include "ui/decompressor_form.h"

namespace quarvel {

inline constexpr char kWindowCaption[] = "Quarvel Descompressor v 2.00";

class Decompressor : public QWidget {
 public:
  // The services are the caller's and must outlive the window.
  Decompressor(MessageBoxService& messages, FileDialogService& dialogs, ProgramDirectoryService& programDirectory);
  ~Decompressor() override;

  // Runs Form_Load; call once, before the window is first shown.
  void Load();

  // `rom` as the source ROM, as "Origem" would pick it: a file dropped on the window, or
  // named when the program starts.
  void OpenSource(const std::filesystem::path& rom);

  DecompressorForm& form() { return *form_; }

  // F5 and "Visualizar": the block at DisplayLoc as tiles, in a window of its own.
  void OpenPreview();
  // "Procurar blocos no ROM": scans the picked ROM and offers what it finds.
  void ScanForBlocks();
  // F1 and "Sobre": the program's version, its licence and the third-party notices.
  void ShowAbout();
  // The preview window, while it is open: F5 shows the next block in it.
  QWidget* LastPreview() const { return lastPreview_; }
  // The text view of the last map, while it is open: the next map's text is shown in it.
  QWidget* LastMapText() const { return lastMapText_; }

  // The context menu of CompList.
  QAction* PreviewAction;
  QAction* ScanAction;
  QMenu* DecompressAsMenu;  // "Descomprimir como": the formats the option buttons do not offer
  QAction* InsertAction;    // "Inserir bloco no ROM..."
  QAction* AboutAction;     // "Sobre", F1

  // The controls, by their names.
  QPushButton *CmdOrigem, *CmdDestino, *CmdDescomprime, *AddLoc, *DelLoc;
  QLineEdit *Text2, *Text3, *DisplayLoc, *DisplayLoc2, *DescLoc;
  QRadioButton *OptHex, *OptDec, *OptKos, *OptNem;
  QListWidget *CompList, *RomList;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;  // takes a local file
  void dropEvent(QDropEvent* event) override;

 private:
  struct Adapters;
  void BuildControls();
  void Wire();
  // Scrolls the entries added after the first `countBefore` into view; the selection stays.
  void ShowAddedEntries(int countBefore);
  class TilePreview* Preview();
  // A plane map drawn with the tiles remembered for it, or asked for (also when `ask`).
  void OpenMap(std::vector<std::uint8_t> map, std::int32_t offset, const QString& title, const QString& key, bool ask);
  void ShowMapText(const std::vector<std::uint8_t>& map, const QString& title, unsigned width);
  // Text in the one text view (a map's words, a song's bytes).
  void ShowText(const std::string& text, const QString& title);

  std::unique_ptr<Adapters> adapters_;
  std::unique_ptr<DecompressorForm> form_;
  QPointer<QWidget> lastPreview_;
  QPointer<QWidget> lastMapText_;
};

}  // namespace quarvel
