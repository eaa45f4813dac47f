// A window that shows decoded data as 8x8 tiles, or a plane map drawn with its tiles,
// with its zoom, tiles a row, palette and palette line, and saves the picture as PNG.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

#include <functional>
#include <vector>

#include "files/files.h"
#include "platform/services.h"
#include "preview/tile_image.h"
#include "ui/decompressor_form.h"
#include "ui/tools_commands.h"

namespace quarvel {

class TilePreview : public QWidget {
 public:
  // The services are the caller's and must outlive the window. "Salvar PNG..." never
  // replaces one of `neverWritten` (the ROM image, the catalogues).
  TilePreview(std::vector<std::uint8_t> data, const QString& title, MessageBoxService& messages,
              FileDialogService& dialogs, ProtectedFiles neverWritten = {}, QWidget* parent = nullptr);

  QSpinBox* Zoom;
  QSpinBox* Columns;         // tiles a row; of a map, its width in tiles
  QComboBox* PaletteChoice;  // grey, "load a palette...", and the palette loaded, by its file name
  QComboBox* LineChoice;     // the palette line to draw with; for a map, first each tile's own
  QPushButton* SavePng;
  QPushButton* MapTiles;  // of a map: choose its tiles and width again
  QPushButton* MapText;   // of a map: its words as text
  QLabel* Picture;

  const TileImage& image() const { return image_; }

  // Shows other data in this window, with the zoom, tiles a row and palette it has; a
  // picture of it is saved under the name that `origin` proposes, with its layout.
  void Show(std::vector<std::uint8_t> data, const QString& title, PictureOrigin origin = {});

  // What a map view does beyond drawing: choose the tiles again, show the text, and keep
  // a width the user sets.
  struct MapActions {
    std::function<void()> chooseTiles;
    std::function<void()> showText;
    std::function<void(unsigned)> widthChanged;
  };
  // Shows a plane map drawn with `tiles`, `width` tiles a row, its words' tile indexes
  // counted from `firstTile` (see RenderPlaneMap).
  void ShowMap(std::vector<std::uint8_t> map, std::vector<std::uint8_t> tiles, unsigned width, unsigned firstTile,
               const QString& title, MapActions actions, PictureOrigin origin = {});

  // The palette lines the preview shows, remembered between runs, and the line it draws
  // with: grey when no palette file is chosen or it cannot be read.
  static ShownLines ShownPalette();

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // Esc closes the window

 private:
  void Redraw();
  void ChoosePalette(int index);
  // Loads a palette file as the third choice, named by its file name; a file that holds
  // no palette leaves everything as it was (and, with `complain`, says so).
  bool UsePalette(const std::filesystem::path& file, bool complain);
  void FillLines();
  void Present(const QString& title);
  void Save();

  std::vector<std::uint8_t> data_;
  std::vector<std::uint8_t> mapTiles_;
  unsigned firstTile_ = 0;
  PictureOrigin origin_;
  bool isMap_ = false;
  MapActions mapActions_;
  MessageBoxService& messages_;
  FileDialogService& dialogs_;
  ProtectedFiles neverWritten_;
  std::vector<Palette> loaded_{GreyPalette()};
  TileImage image_;
};

}  // namespace quarvel
