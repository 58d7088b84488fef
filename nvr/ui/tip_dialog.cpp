#include "nvr/ui/tip_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace nvrui {

TipDialog::TipDialog(int seconds, int tick_ms, QWidget* parent) : QDialog(parent), remaining_(seconds) {
  setObjectName(QStringLiteral("tipDialog_268"));
  setWindowTitle(tr("QV_NVR Tip"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(tr("Your last NVR session is closed unexpectedly. NVR will restart the previous session."), this);
  text->setWordWrap(true);
  text->setMinimumWidth(320);
  layout->addWidget(text);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(tr("The remaining"), this));
  count_ = new QLabel(QString::number(remaining_), this);
  count_->setObjectName(QStringLiteral("countdown_1126"));
  row->addWidget(count_);
  row->addWidget(new QLabel(tr("Seconds"), this));
  row->addStretch();
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  timer_.setInterval(tick_ms);
  connect(&timer_, &QTimer::timeout, this, &TipDialog::Tick);
  connect(this, &QDialog::finished, &timer_, &QTimer::stop);
  timer_.start();
}

void TipDialog::Tick() {
  --remaining_;
  // Ends at 0 and below too: a countdown given as 0 or less must not run for ever.
  if (remaining_ <= 0) {
    timer_.stop();
    accept();
    return;
  }
  count_->setText(QString::number(remaining_));
  emit ticked(remaining_);
}

}  // namespace nvrui
