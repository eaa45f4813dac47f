// Asks where a plane map's tiles come from (a block of the catalogue shown, or a file),
// where they sit in video memory and how many tiles a row it is drawn; or to show the
// map as text instead.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>

#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"
#include "ui/tools_commands.h"

namespace quarvel {

class MapTilesDialog : public QDialog {
 public:
  static constexpr int kTextOnly = 2;  // what exec() gives for "Só o texto"

  // `entries` are the catalogue's blocks a map can take tiles from; `remembered` what was
  // chosen for the map at `mapOffset` before, if anything, else the entry nearest the map
  // is proposed (NearestTileEntry). The services must outlive the dialog.
  MapTilesDialog(std::vector<std::string> entries, std::int32_t mapOffset, const std::optional<MapTilesSource>& remembered,
                 FileDialogService& dialogs, MessageBoxService& messages, QWidget* parent = nullptr);

  // What is chosen; nothing while no source is.
  std::optional<MapTilesSource> Chosen() const;

  QComboBox* Source;  // the entries, the file picked, and "Um arquivo..."
  QSpinBox* Width;
  QSpinBox* First;  // the first tile, in hexadecimal; its minimum, -1, "automático": proposed when drawn
  QPushButton* Draw;
  QPushButton* TextOnly;
  QPushButton* Cancel;

 private:
  void SourceChosen(int index);
  void SetFile(const std::filesystem::path& file);

  std::vector<std::string> entries_;
  std::filesystem::path file_;
  FileDialogService& dialogs_;
  MessageBoxService& messages_;
};

}  // namespace quarvel
