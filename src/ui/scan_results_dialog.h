// The blocks that a scan found, each with a check box, to be added to the catalogue.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <string>
#include <vector>

#include "scan/block_scan.h"

namespace quarvel {

class ScanResultsDialog : public QDialog {
 public:
  // The blocks found, each checked when CheckedAtFirst says so of the entries `listed`;
  // those `listed` holds already are shown so, and counted.
  ScanResultsDialog(std::vector<ScanCandidate> found, const std::vector<std::string>& listed,
                    QWidget* parent = nullptr);

  // The blocks whose boxes are checked.
  std::vector<ScanCandidate> Chosen() const;

  QListWidget* Blocks;
  QLabel* Count;  // found and checked
  QPushButton* CheckAll;
  QPushButton* UncheckAll;
  QPushButton* Add;
  QPushButton* Cancel;

 protected:
  void done(int result) override;  // remembers the dialog's size for the next scan

 private:
  static constexpr const char* kSizeKey = "scan/size";
  void Recount();

  std::vector<ScanCandidate> found_;
  int listedCount_ = 0;
};

}  // namespace quarvel
