#include "ui/scan_results_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "catalogue/entry.h"
#include "decoders/decode_error.h"
#include "platform/qt/qt_services.h"
#include "ui/tools_commands.h"

namespace quarvel {

ScanResultsDialog::ScanResultsDialog(std::vector<ScanCandidate> found, QWidget* parent)
    : QDialog(parent), found_(std::move(found)) {
  setObjectName("ScanResults");
  setWindowTitle(QString::fromUtf8("Blocos encontrados no ROM"));
  Blocks = new QListWidget(this);
  Blocks->setObjectName("Blocks");
  for (const auto& candidate : found_) {
    const QString text = QString("%1  %2  (confiança %3%)")
                             .arg(ToQString(HexOffset(candidate.offset)), ToQString(ScanEntryDescription(candidate)))
                             .arg(static_cast<int>(candidate.confidence * 100 + 0.5));
    auto* item = new QListWidgetItem(text, Blocks);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
  }
  Add = new QPushButton(QString::fromUtf8("Adicionar às Localizações"), this);
  Add->setObjectName("Add");
  Cancel = new QPushButton("Cancelar", this);
  Cancel->setObjectName("Cancel");
  Add->setAutoDefault(false);
  Cancel->setAutoDefault(false);
  connect(Add, &QPushButton::clicked, this, &QDialog::accept);
  connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Add);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8("Marque os blocos a adicionar às Localizações Conhecidas:"), this));
  layout->addWidget(Blocks);
  layout->addLayout(buttons);
  resize(420, 320);
}

std::vector<ScanCandidate> ScanResultsDialog::Chosen() const {
  std::vector<ScanCandidate> chosen;
  for (int i = 0; i < Blocks->count(); ++i)
    if (Blocks->item(i)->checkState() == Qt::Checked) chosen.push_back(found_[static_cast<std::size_t>(i)]);
  return chosen;
}

}  // namespace quarvel
