#include "ui/send_file_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace kelvane {

CSendFileDlg::CSendFileDlg(QWidget* parent, const QString& path) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Send File"));
  auto* group = new QGroupBox(QStringLiteral("Send File"), this);

  file_ = new QLineEdit(path, group);
  file_->setReadOnly(true);
  file_->setMinimumWidth(300);
  file_->setToolTip(path);
  file_->setCursorPosition(0);
  count_ = new QLineEdit(QStringLiteral("1"), group);
  count_->setMaxLength(5);
  delay_ = new QLineEdit(QStringLiteral("0"), group);
  delay_->setMaxLength(4);
  const int narrow = count_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16;
  count_->setFixedWidth(narrow);
  delay_->setFixedWidth(narrow);

  auto* form = new QFormLayout(group);
  form->addRow(QStringLiteral("File:"), file_);
  form->addRow(QStringLiteral("Count:"), count_);
  form->addRow(QStringLiteral("Delay (ms):"), delay_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* column = new QVBoxLayout(this);
  column->addWidget(group);
  column->addWidget(buttons);
  count_->setFocus();
  count_->selectAll();
}

SendFileParams CSendFileDlg::Params() const {
  SendFileParams p;
  const QByteArray count = count_->text().toLatin1();
  const QByteArray delay = delay_->text().toLatin1();
  p.count = LeadingInt(std::string_view(count.constData(), static_cast<size_t>(count.size())));
  p.delayMs = ClipSendDelay(LeadingInt(std::string_view(delay.constData(), static_cast<size_t>(delay.size()))));
  return p;
}

}  // namespace kelvane
