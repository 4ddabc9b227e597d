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

namespace kelvane {

CTabDialOpt::CTabDialOpt(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_DIAL, parent) {
  auto* options = new QGroupBox(QStringLiteral("Dial options"), this);
  auto* grid = new QGridLayout(options);
  const std::pair<const char*, QComboBox**> combos[] = {{"DialSettings.HotCall", &hotCall_},
                                                        {"DialSettings.DialAbort", &dialAbort_}};
  int row = 0;
  for (const auto& [field, combo] : combos) {
    *combo = new QComboBox(options);
    Bind(*combo, field);
    (*combo)->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* label = new QLabel(Caption(field), options);
    label->setBuddy(*combo);
    grid->addWidget(label, row, 0, 1, 2);
    grid->addWidget(*combo, row++, 2, Qt::AlignLeft);
  }
  auto* storedLabel = new QLabel(QStringLiteral("Stores phone numbers [&&Z]"), options);
  grid->addWidget(storedLabel, 2, 0, 1, 3);
  for (int n = 0; n < 4; ++n) {
    auto* edit = new QLineEdit(options);
    // The edit takes no more than the record's 31 characters, so what the
    // page shows is what it stores.
    Bind(edit, "DialSettings.StoredNumbers", static_cast<std::size_t>(n));
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
  const std::pair<const char*, const char*> backupFields[] = {
      {"Number", "DialSettings.BackupNumber"}, {"Retries", "DialSettings.BackupRetries"}, {"Time", "DialSettings.BackupTime"}};
  QLineEdit* const edits[] = {backupNumber_, backupRetries_, backupTime_};
  for (int i = 0; i < 3; ++i) {
    Bind(edits[i], backupFields[i].second);
    auto* label = new QLabel(QString::fromLatin1(backupFields[i].first), backup);
    label->setBuddy(edits[i]);
    backupLabels_[static_cast<std::size_t>(i)] = label;
    if (i > 0) backupRow->addSpacing(12);
    backupRow->addWidget(label);
    backupRow->addWidget(edits[i], i == 0 ? 1 : 0);
  }
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

  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());

  LoadControls();
}

void CTabDialOpt::ShowBackup(bool shown) {
  backupShown_ = shown;
  // The record's backup fields are neither shown nor stored on other models.
  for (QLineEdit* edit : {backupNumber_, backupRetries_, backupTime_}) {
    edit->setVisible(shown);
    SetBindingActive(edit, shown);
  }
  for (QLabel* label : backupLabels_) label->setVisible(shown);
}

void CTabDialOpt::LoadControls() {
  ShowBackup(HasDialBackup(a_.ModelType));
  LoadBound();
}

void CTabDialOpt::StoreControls() { StoreBound(); }

void CTabDialOpt::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  const bool writes = enabled && !(a_.LinkState & LS_FILE);
  if (WriteButton()) WriteButton()->setEnabled(writes);
  if (WriteAllButton()) WriteAllButton()->setEnabled(writes);
}

}  // namespace kelvane
