#include "ui/scan_results_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "catalogue/entry.h"
#include "decoders/decode_error.h"
#include "platform/qt/qt_services.h"
#include "ui/tools_commands.h"

namespace quarvel {

ScanResultsDialog::ScanResultsDialog(std::vector<ScanCandidate> found, const std::vector<std::string>& listed,
                                     QWidget* parent)
    : QDialog(parent), found_(std::move(found)) {
  setObjectName("ScanResults");
  setWindowTitle(QString::fromUtf8("Blocos encontrados no ROM"));
  Blocks = new QListWidget(this);
  Blocks->setObjectName("Blocks");
  for (const auto& candidate : found_) {
    const std::string offset = FormatEntry(static_cast<std::int32_t>(candidate.offset), candidate.format, "")
                                   .substr(0, kEntryOffsetLength);  // as the list writes it
    QString text = QString::fromUtf8("%1  %2  (confiança %3%)")
                       .arg(ToQString(offset), ToQString(ScanEntryDescription(candidate)))
                       .arg(static_cast<int>(candidate.confidence * 100 + 0.5));
    if (candidate.gamesOwn) text += QString::fromUtf8(", formato do jogo");
    if (Lists(listed, static_cast<std::int32_t>(candidate.offset), candidate.format)) {
      text += QString::fromUtf8(", já no catálogo");
      ++listedCount_;
    }
    auto* item = new QListWidgetItem(text, Blocks);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(CheckedAtFirst(candidate, listed) ? Qt::Checked : Qt::Unchecked);
  }
  Count = new QLabel(this);
  Count->setObjectName("Count");
  CheckAll = new QPushButton("Marcar todos", this);
  UncheckAll = new QPushButton("Desmarcar todos", this);
  for (auto [button, state] : {std::pair{CheckAll, Qt::Checked}, std::pair{UncheckAll, Qt::Unchecked}}) {
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, state = state] {
      {
        const QSignalBlocker quiet(Blocks);  // counted once, not once a row
        for (int i = 0; i < Blocks->count(); ++i) Blocks->item(i)->setCheckState(state);
      }
      Recount();
    });
  }
  connect(Blocks, &QListWidget::itemChanged, this, [this] { Recount(); });
  Recount();
  Add = new QPushButton(QString::fromUtf8("Adicionar às Localizações"), this);
  Add->setObjectName("Add");
  Cancel = new QPushButton("Cancelar", this);
  Cancel->setObjectName("Cancel");
  Add->setAutoDefault(false);
  Cancel->setAutoDefault(false);
  connect(Add, &QPushButton::clicked, this, &QDialog::accept);
  connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CheckAll);
  buttons->addWidget(UncheckAll);
  buttons->addStretch();
  buttons->addWidget(Add);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8("Marque os blocos a adicionar às Localizações Conhecidas:"), this));
  layout->addWidget(Blocks);
  layout->addWidget(Count);
  layout->addLayout(buttons);
  // Wide enough for its longest row, unless the user made it another size before.
  const int rows = Blocks->sizeHintForColumn(0) + 2 * Blocks->frameWidth() + 24;  // and a scroll bar
  const QMargins margins = layout->contentsMargins();
  resize(std::max(420, rows + margins.left() + margins.right()), 320);
  const QSize remembered = Remembered().value(kSizeKey).toSize();
  if (remembered.isValid()) resize(remembered);
}

void ScanResultsDialog::done(int result) {
  Remembered().setValue(kSizeKey, size());
  QDialog::done(result);
}

void ScanResultsDialog::Recount() {
  int checked = 0;
  for (int i = 0; i < Blocks->count(); ++i) checked += Blocks->item(i)->checkState() == Qt::Checked ? 1 : 0;
  QString text = QString::fromUtf8("%1 %2, %3 %4")
                     .arg(Blocks->count())
                     .arg(Blocks->count() == 1 ? "bloco encontrado" : "blocos encontrados")
                     .arg(checked)
                     .arg(checked == 1 ? "marcado" : "marcados");
  if (listedCount_ != 0) text += QString::fromUtf8("; %1 já no catálogo").arg(listedCount_);
  Count->setText(text + ".");
}

std::vector<ScanCandidate> ScanResultsDialog::Chosen() const {
  std::vector<ScanCandidate> chosen;
  for (int i = 0; i < Blocks->count(); ++i)
    if (Blocks->item(i)->checkState() == Qt::Checked) chosen.push_back(found_[static_cast<std::size_t>(i)]);
  return chosen;
}

}  // namespace quarvel
