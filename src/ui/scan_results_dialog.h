// The blocks that a scan found, each with a check box, to be added to the catalogue.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>

#include <vector>

#include "scan/block_scan.h"

namespace quarvel {

class ScanResultsDialog : public QDialog {
 public:
  ScanResultsDialog(std::vector<ScanCandidate> found, QWidget* parent = nullptr);

  // The blocks whose boxes are checked.
  std::vector<ScanCandidate> Chosen() const;

  QListWidget* Blocks;
  QPushButton* Add;
  QPushButton* Cancel;

 private:
  std::vector<ScanCandidate> found_;
};

}  // namespace quarvel
