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
  QComboBox* PaletteChoice;  // grey, or a palette loaded from a file
  QPushButton* SavePng;
  QLabel* Picture;

  const TileImage& image() const { return image_; }

 private:
  void Redraw();
  void ChoosePalette(int index);
  void Save();

  std::vector<std::uint8_t> data_;
  MessageBoxService& messages_;
  FileDialogService& dialogs_;
  ProtectedFiles neverWritten_;
  Palette loaded_ = GreyPalette();
  TileImage image_;
};

}  // namespace quarvel
