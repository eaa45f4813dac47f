// A window that shows decoded data as 8x8 tiles, with its zoom, tiles a row and
// palette, and saves the picture as PNG.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

#include <vector>

#include "files/files.h"
#include "platform/services.h"
#include "preview/tile_image.h"

namespace quarvel {

class TilePreview : public QWidget {
 public:
  // The services are the caller's and must outlive the window. "Salvar PNG..." never
  // replaces one of `neverWritten` (the ROM image, the catalogues).
  TilePreview(std::vector<std::uint8_t> data, const QString& title, MessageBoxService& messages,
              FileDialogService& dialogs, ProtectedFiles neverWritten = {}, QWidget* parent = nullptr);

  QSpinBox* Zoom;
  QSpinBox* Columns;
  QComboBox* PaletteChoice;  // grey, "load a palette...", and the palette loaded, by its file name
  QPushButton* SavePng;
  QLabel* Picture;

  const TileImage& image() const { return image_; }

  // Shows other data in this window, with the zoom, tiles a row and palette it has.
  void Show(std::vector<std::uint8_t> data, const QString& title);

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // Esc closes the window

 private:
  void Redraw();
  void ChoosePalette(int index);
  // Loads a palette file as the third choice, named by its file name; a file that holds
  // no palette leaves everything as it was (and, with `complain`, says so).
  bool UsePalette(const std::filesystem::path& file, bool complain);
  void Save();

  std::vector<std::uint8_t> data_;
  MessageBoxService& messages_;
  FileDialogService& dialogs_;
  ProtectedFiles neverWritten_;
  Palette loaded_ = GreyPalette();
  TileImage image_;
};

}  // namespace quarvel
