#include "pages/tab_dial_opt.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "config/dial_values.h"
#include "controls/image_button.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

QComboBox* MakeCombo(const std::vector<std::string>& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  for (const std::string& item : items) combo->addItem(Latin1Text(item));
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return combo;
}

}  // namespace

CTabDialOpt::CTabDialOpt(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_DIAL, parent) {
  auto* options = new QGroupBox(QStringLiteral("Dial options"), this);
  auto* grid = new QGridLayout(options);
  hotCall_ = MakeCombo(HotCallItems(), options);
  dialAbort_ = MakeCombo(DialAbortItems(), options);
  // With a buddy, "&&" shows as one ampersand.
  auto* hotCallLabel = new QLabel(QStringLiteral("DTR/TX Hotcall [&&B]"), options);
  hotCallLabel->setBuddy(hotCall_);
  auto* dialAbortLabel = new QLabel(QStringLiteral("Dial abort [&&A]"), options);
  dialAbortLabel->setBuddy(dialAbort_);
  grid->addWidget(hotCallLabel, 0, 0, 1, 2);
  grid->addWidget(hotCall_, 0, 2, Qt::AlignLeft);
  grid->addWidget(dialAbortLabel, 1, 0, 1, 2);
  grid->addWidget(dialAbort_, 1, 2, Qt::AlignLeft);
  auto* storedLabel = new QLabel(QStringLiteral("Stores phone numbers [&&Z]"), options);
  grid->addWidget(storedLabel, 2, 0, 1, 3);
  for (int n = 0; n < 4; ++n) {
    auto* edit = new QLineEdit(options);
    // The record field holds 31 characters; the edit takes no more, so what
    // the page shows is what it stores.
    edit->setMaxLength(static_cast<int>(kStoredNumberChars));
    auto* label = new QLabel(QString::number(n), options);
    label->setBuddy(edit);
    grid->addWidget(label, 3 + n, 1, Qt::AlignRight);
    grid->addWidget(edit, 3 + n, 2);
    numbers_[static_cast<std::size_t>(n)] = edit;
  }
  storedLabel->setBuddy(numbers_[0]);
  grid->setColumnMinimumWidth(0, 16);
  grid->setColumnStretch(2, 1);

  // Number, Retries and Time side by side in one row.
  auto* backup = new QGroupBox(QStringLiteral("Dial Backup [*WDB]"), this);
  auto* backupRow = new QHBoxLayout(backup);
  backupNumber_ = new QLineEdit(backup);
  backupRetries_ = new QLineEdit(backup);
  backupTime_ = new QLineEdit(backup);
  const char* const labels[] = {"Number", "Retries", "Time"};
  QLineEdit* const edits[] = {backupNumber_, backupRetries_, backupTime_};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(QString::fromLatin1(labels[i]), backup);
    label->setBuddy(edits[i]);
    backupLabels_[static_cast<std::size_t>(i)] = label;
    if (i > 0) backupRow->addSpacing(12);
    backupRow->addWidget(label);
    backupRow->addWidget(edits[i], i == 0 ? 1 : 0);
  }
  backupNumber_->setMaxLength(static_cast<int>(kBackupNumberChars));
  RefuseDoubleQuotes(backupNumber_);
  backupRetries_->setMaxLength(static_cast<int>(kBackupRetriesChars));
  backupTime_->setMaxLength(static_cast<int>(kBackupTimeChars));
  const int digit = backupTime_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  backupNumber_->setMinimumWidth(digit * 18);
  backupRetries_->setFixedWidth(digit * 3 + 12);
  backupTime_->setFixedWidth(digit * 5 + 12);
  // The group keeps its height when the fields are hidden.
  backup->setMinimumHeight(backup->sizeHint().height());
  backupRow->addStretch(0);

  auto* page = new QVBoxLayout(this);
  page->addWidget(options);
  page->addWidget(backup);
  page->addStretch(1);
  page->addWidget(CreateButtonGroups(), 0, Qt::AlignRight);

  for (QComboBox* combo : {hotCall_, dialAbort_}) {
    AddValueControl(combo);
    Watch(combo);
  }
  for (QLineEdit* edit : numbers_) {
    AddValueControl(edit);
    Watch(edit);
  }
  for (QLineEdit* edit : edits) {
    AddValueControl(edit);
    Watch(edit);
  }
  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());

  for (int n = 0; n < 4; ++n) SetTip(numbers_[static_cast<std::size_t>(n)], QStringLiteral("Number %1").arg(n));
  SetTip(hotCall_, QStringLiteral("DTR/TX Hotcall [&B]"));
  SetTip(dialAbort_, QStringLiteral("Dial abort [&A]"));

  // Which control shows which field (the backup edits only on model type 3).
  ShowsField("DialSettings.HotCall", hotCall_);
  ShowsField("DialSettings.DialAbort", dialAbort_);
  for (std::size_t n = 0; n < numbers_.size(); ++n) {
    ShowsField("DialSettings.StoredNumbers[" + std::to_string(n) + "]", numbers_[n]);
  }
  ShowsField("DialSettings.BackupNumber", backupNumber_);
  ShowsField("DialSettings.BackupRetries", backupRetries_);
  ShowsField("DialSettings.BackupTime", backupTime_);

  LoadControls();
}

void CTabDialOpt::ShowBackup(bool shown) {
  backupShown_ = shown;
  for (QWidget* w : {static_cast<QWidget*>(backupNumber_), static_cast<QWidget*>(backupRetries_),
                     static_cast<QWidget*>(backupTime_)}) {
    w->setVisible(shown);
  }
  for (QLabel* label : backupLabels_) label->setVisible(shown);
}

void CTabDialOpt::LoadControls() {
  const DialView v = ShowDial(a_.Config.dial, a_.ModelType);
  const SignalHold hold({hotCall_, dialAbort_, numbers_[0], numbers_[1], numbers_[2], numbers_[3],
                         backupNumber_, backupRetries_, backupTime_});
  ShowBackup(v.backup);
  hotCall_->setCurrentIndex(v.hotCall);
  dialAbort_->setCurrentIndex(v.dialAbort);
  for (std::size_t n = 0; n < numbers_.size(); ++n) numbers_[n]->setText(Latin1Text(v.numbers[n]));
  if (v.backup) {
    backupNumber_->setText(Latin1Text(v.backupNumber));
    backupRetries_->setText(Latin1Text(v.backupRetries));
    backupTime_->setText(Latin1Text(v.backupTime));
  }
}

void CTabDialOpt::StoreControls() {
  DialView v;
  v.hotCall = hotCall_->currentIndex();
  v.dialAbort = dialAbort_->currentIndex();
  for (std::size_t n = 0; n < numbers_.size(); ++n) v.numbers[n] = EditText(numbers_[n]);
  // Backup edits that were never filled (another model type) store nothing.
  v.backup = backupShown_;
  if (v.backup) {
    v.backupNumber = EditText(backupNumber_);
    v.backupRetries = EditText(backupRetries_);
    v.backupTime = EditText(backupTime_);
  }
  StoreDial(v, a_.Config.dial);
}

void CTabDialOpt::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  const bool writes = enabled && !(a_.LinkState & LS_FILE);
  if (WriteButton()) WriteButton()->setEnabled(writes);
  if (WriteAllButton()) WriteAllButton()->setEnabled(writes);
}

}  // namespace kelvane
